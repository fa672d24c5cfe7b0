#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include <pugixml.hpp>

// The program's strings are UTF-8; its XML documents (recording headers, event
// files) are stored as ISO-8859-1, one byte per character, as their declarations
// say. These routines do the conversion at the file boundary and read such
// documents the way they were written.

// Parse flags that keep a document byte for byte: whitespace-only text nodes
// (the CR LF line breaks between elements) and CR characters survive a load, so
// a document read from a file serialises unchanged.
constexpr unsigned XML_Load_Flags = (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_ws_pcdata |
                                    pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi |
                                    pugi::parse_doctype;

// Decodes one UTF-8 character at pos. On success cp holds it, pos moves past it
// and the result is true. A byte that does not start a well-formed sequence
// (overlong forms, surrogates and values past U+10FFFF included) gives false
// with pos moved past that one byte.
bool Next_Utf8_Char(const std::string& text, size_t& pos, uint32_t& cp);

bool Is_Utf8(const std::string& text);               // well-formed UTF-8 throughout
bool Starts_With_Utf8_Bom(const std::string& text);  // the three bytes EF BB BF
// Well-formed UTF-8 whose every character is below U+0100, so that it can be
// written in ISO-8859-1 as it is.
bool Fits_Latin1(const std::string& utf8);

// UTF-8 to Latin-1 bytes. A character outside Latin-1 becomes a numeric character
// reference (&#8364;), which every XML reader turns back into the same character
// where it stands in element text or an attribute value. A byte that does not
// start a well-formed UTF-8 sequence is taken as the Latin-1 character it is.
std::string Utf8_To_Latin1(const std::string& utf8);
// Makes a loaded document one that can be written in ISO-8859-1 and read back
// as the same document. A character outside Latin-1 can stand in a Latin-1 file
// only as a character reference, and those are XML only in text and attribute
// values: in names it becomes '_', in comments, processing instructions, the
// declaration and the document type '?', and a CDATA section holding one
// becomes plain text (the same text to every reader).
void Make_Latin1_Writable(pugi::xml_node root);
// Latin-1 bytes to UTF-8: every byte is the character of the same number.
std::string Latin1_To_Utf8(const std::string& latin1);

// The encoding a document text is read in: UTF-8 when its byte-order mark or
// declaration says so and the text really is UTF-8; everything else is read as
// Latin-1, the form these documents are stored in (also by writers whose
// declaration names no encoding or names UTF-8 over one-byte text).
pugi::xml_encoding XML_Text_Encoding(const std::string& text);
// Loads a document text with XML_Load_Flags in that encoding (a byte-order mark
// of a text read as Latin-1 is skipped).
pugi::xml_parse_result Load_XML_Text(pugi::xml_document& doc, const std::string& text);
