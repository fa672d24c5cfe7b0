#include "metadata/Latin1.h"
#include "common/Text.h"

#include <cctype>
#include <vector>

bool Next_Utf8_Char(const std::string& text, size_t& pos, uint32_t& cp) {
    const size_t n = text.size();
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if (b0 < 0x80) {
        cp = b0;
        ++pos;
        return true;
    }
    int extra = 0;
    uint32_t value = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1;
        value = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2;
        value = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3;
        value = b0 & 0x07;
    }
    bool ok = extra > 0 && pos + static_cast<size_t>(extra) < n;
    for (int k = 1; ok && k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(text[pos + static_cast<size_t>(k)]);
        if ((b & 0xC0) != 0x80) ok = false;
        value = (value << 6) | (b & 0x3F);
    }
    // Reject overlong forms, surrogates and values past U+10FFFF.
    if (ok && ((extra == 2 && value < 0x800) || (extra == 3 && (value < 0x10000 || value > 0x10FFFF)) ||
               (value >= 0xD800 && value <= 0xDFFF)))
        ok = false;
    if (!ok) {
        cp = b0;
        ++pos;
        return false;
    }
    cp = value;
    pos += static_cast<size_t>(extra) + 1;
    return true;
}

bool Is_Utf8(const std::string& text) {
    uint32_t cp = 0;
    for (size_t i = 0; i < text.size();)
        if (!Next_Utf8_Char(text, i, cp)) return false;
    return true;
}

bool Fits_Latin1(const std::string& utf8) {
    uint32_t cp = 0;
    for (size_t i = 0; i < utf8.size();)
        if (!Next_Utf8_Char(utf8, i, cp) || cp > 0xFF) return false;
    return true;
}

std::string Utf8_To_Latin1(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    uint32_t cp = 0;
    for (size_t i = 0; i < utf8.size();) {
        if (!Next_Utf8_Char(utf8, i, cp) || cp < 0x100)
            out.push_back(static_cast<char>(cp));
        else
            out += "&#" + std::to_string(cp) + ";";
    }
    return out;
}

namespace {

// The text with every character outside Latin-1 replaced by with; false when
// there was none.
bool Latin1_Only(const char* text, char with, std::string& out) {
    const std::string s = text;
    out.clear();
    bool changed = false;
    uint32_t cp = 0;
    for (size_t i = 0; i < s.size();) {
        const size_t start = i;
        if (Next_Utf8_Char(s, i, cp) && cp >= 0x100) {
            out.push_back(with);
            changed = true;
        } else {
            out.append(s, start, i - start);
        }
    }
    return changed;
}

class Latin1_Walker : public pugi::xml_tree_walker {
public:
    bool for_each(pugi::xml_node& node) override {
        std::string fixed;
        switch (node.type()) {
            case pugi::node_element:
            case pugi::node_pi:
            case pugi::node_declaration:
                if (Latin1_Only(node.name(), '_', fixed)) node.set_name(fixed.c_str());
                for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                    if (Latin1_Only(a.name(), '_', fixed)) a.set_name(fixed.c_str());
                    // Only an element's attribute values take character references.
                    if (node.type() != pugi::node_element && Latin1_Only(a.value(), '?', fixed))
                        a.set_value(fixed.c_str());
                }
                if (node.type() == pugi::node_pi && Latin1_Only(node.value(), '?', fixed))
                    node.set_value(fixed.c_str());
                break;
            case pugi::node_comment:
            case pugi::node_doctype:
                if (Latin1_Only(node.value(), '?', fixed)) node.set_value(fixed.c_str());
                break;
            case pugi::node_cdata:
                if (Latin1_Only(node.value(), '?', fixed)) cdata.push_back(node);
                break;
            default: break;
        }
        return true;
    }
    std::vector<pugi::xml_node> cdata;
};

}  // namespace

void Make_Latin1_Writable(pugi::xml_node root) {
    Latin1_Walker walker;
    // The walk itself (its start node is not visited) keeps the tree as it is; the
    // CDATA sections are replaced afterwards.
    if (root.type() != pugi::node_document) walker.for_each(root);
    root.traverse(walker);
    for (pugi::xml_node c : walker.cdata) {
        pugi::xml_node parent = c.parent();
        parent.insert_child_before(pugi::node_pcdata, c).set_value(c.value());
        parent.remove_child(c);
    }
}

std::string Latin1_To_Utf8(const std::string& latin1) {
    std::string out;
    out.reserve(latin1.size() + latin1.size() / 8);
    for (const char c : latin1) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

bool Starts_With_Utf8_Bom(const std::string& text) { return text.compare(0, 3, "\xEF\xBB\xBF") == 0; }

namespace {
// What the document says of itself: UTF-8 by byte-order mark or declaration, else Latin-1.
pugi::xml_encoding Declared_Encoding(const std::string& text) {
    if (Starts_With_Utf8_Bom(text)) return pugi::encoding_utf8;
    size_t p = 0;
    while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
    if (text.compare(p, 5, "<?xml") != 0) return pugi::encoding_latin1;
    const size_t end = text.find("?>", p);
    if (end == std::string::npos) return pugi::encoding_latin1;
    const std::string decl = text.substr(p, end - p);
    const size_t key = decl.find("encoding");
    if (key == std::string::npos) return pugi::encoding_latin1;
    const size_t q = decl.find_first_of("\"'", key);
    if (q == std::string::npos) return pugi::encoding_latin1;
    const size_t close = decl.find(decl[q], q + 1);
    if (close == std::string::npos) return pugi::encoding_latin1;
    const std::string name = decl.substr(q + 1, close - q - 1);
    return (Same_Ignoring_Case(name, "utf-8") || Same_Ignoring_Case(name, "utf8")) ? pugi::encoding_utf8
                                                                                   : pugi::encoding_latin1;
}
}  // namespace

pugi::xml_encoding XML_Text_Encoding(const std::string& text) {
    // A text that claims UTF-8 but is not was saved in a one-byte code page by
    // an editor that kept the declaration; taken as UTF-8, its bytes would be
    // characters no save could write back.
    const pugi::xml_encoding declared = Declared_Encoding(text);
    return declared == pugi::encoding_utf8 && !Is_Utf8(text) ? pugi::encoding_latin1 : declared;
}

pugi::xml_parse_result Load_XML_Text(pugi::xml_document& doc, const std::string& text) {
    const pugi::xml_encoding encoding = XML_Text_Encoding(text);
    // Read as Latin-1, a byte-order mark would be three characters before the root.
    const size_t skip = encoding == pugi::encoding_latin1 && Starts_With_Utf8_Bom(text) ? 3 : 0;
    pugi::xml_parse_result result = doc.load_buffer(text.data() + skip, text.size() - skip, XML_Load_Flags, encoding);
    result.offset += static_cast<ptrdiff_t>(skip);
    return result;
}
