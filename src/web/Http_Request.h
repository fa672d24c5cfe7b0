#pragma once
#include <cstddef>
#include <map>
#include <string>

#include <QByteArray>

// One HTTP/1.1 request head as the program's web server takes it: the pages
// and pictures are only read, so a request carries no body, and its head is
// bounded so that no client can make the program hold more than that.
struct Http_Request {
    std::string Method;
    std::string Path;                            // decoded, without the query
    std::map<std::string, std::string> Query;    // decoded; a repeated name keeps its first value
    std::map<std::string, std::string> Headers;  // names in lower case
    bool Keep_Alive = true;

    std::string Header(const std::string& name) const;
    std::string Param(const std::string& name) const;
    // A WebSocket handshake (GET with "Upgrade: websocket").
    bool Upgrade_To_WebSocket() const;
};

namespace Http {

constexpr size_t Max_Head_Bytes = 8 * 1024;

enum class Parse_State {
    Incomplete,  // the head has not ended yet: wait for more bytes
    Done,        // head_size bytes make one request
    Bad,         // the status and reason say why
};

struct Parse_Result {
    Parse_State State = Parse_State::Incomplete;
    size_t Head_Size = 0;  // bytes of the head, the blank line included
    int Status = 400;      // for Bad
    std::string Reason;    // for Bad: a sentence for the client
};

// Parses the head at the start of bytes (more may follow: the next request of
// a kept-alive connection). A head that has not ended within Max_Head_Bytes is
// Bad (431); so is a request line or header that is not HTTP/1.x, a body
// (413), a method other than GET and HEAD (405), or a path that is not an
// absolute path (400).
Parse_Result Parse(const QByteArray& bytes, Http_Request& request);

// Decodes %XX and, in a query, "+"; false for a broken escape or a zero byte.
bool Percent_Decode(const std::string& text, bool query, std::string& out);

// A whole response: status line, the headers, Content-Length, then the body
// (left out for HEAD, its length kept).
QByteArray Response(int status, const std::string& content_type, const QByteArray& body, bool head_only,
                    bool keep_alive, const std::string& extra_headers = {});
// The text of a status ("Not Found").
const char* Status_Text(int status);

}  // namespace Http
