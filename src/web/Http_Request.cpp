#include "web/Http_Request.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

bool Token_Char(unsigned char c) {
    return std::isalnum(c) || std::string("!#$%&'*+-.^_`|~").find(char(c)) != std::string::npos;
}

Http::Parse_Result Bad(int status, std::string reason) {
    Http::Parse_Result r;
    r.State = Http::Parse_State::Bad;
    r.Status = status;
    r.Reason = std::move(reason);
    return r;
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Whether a comma-separated header value holds token (without regard to case).
bool Has_Token(const std::string& value, const std::string& token) {
    size_t start = 0;
    while (start <= value.size()) {
        size_t comma = value.find(',', start);
        if (comma == std::string::npos) comma = value.size();
        if (Lower(Trim(value.substr(start, comma - start))) == token) return true;
        start = comma + 1;
    }
    return false;
}

}  // namespace

std::string Http_Request::Header(const std::string& name) const {
    const auto it = Headers.find(Lower(name));
    return it == Headers.end() ? std::string() : it->second;
}

std::string Http_Request::Param(const std::string& name) const {
    const auto it = Query.find(name);
    return it == Query.end() ? std::string() : it->second;
}

bool Http_Request::Upgrade_To_WebSocket() const {
    return Method == "GET" && Has_Token(Header("upgrade"), "websocket") && Has_Token(Header("connection"), "upgrade");
}

namespace Http {

bool Percent_Decode(const std::string& text, bool query, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return false;
            const int hi = Hex(text[i + 1]), lo = Hex(text[i + 2]);
            if (hi < 0 || lo < 0) return false;
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        } else if (c == '+' && query) {
            c = ' ';
        }
        if (c == '\0') return false;
        out += c;
    }
    return true;
}

Parse_Result Parse(const QByteArray& bytes, Http_Request& request) {
    request = Http_Request{};
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    if (end < 0 || static_cast<size_t>(end) + 4 > Max_Head_Bytes) {
        if (end < 0 && static_cast<size_t>(bytes.size()) < Max_Head_Bytes) return {};
        return Bad(431, "The request head is longer than " + std::to_string(Max_Head_Bytes) + " bytes");
    }
    const std::string head = bytes.left(end).toStdString();
    size_t line_end = head.find("\r\n");
    const std::string request_line = head.substr(0, line_end);
    const size_t sp1 = request_line.find(' ');
    const size_t sp2 = sp1 == std::string::npos ? std::string::npos : request_line.find(' ', sp1 + 1);
    if (sp1 == std::string::npos || sp2 == std::string::npos || request_line.find(' ', sp2 + 1) != std::string::npos)
        return Bad(400, "The request line is not \"METHOD PATH HTTP/1.1\"");
    request.Method = request_line.substr(0, sp1);
    const std::string target = request_line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string version = request_line.substr(sp2 + 1);
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return Bad(505, "Only HTTP/1.0 and HTTP/1.1 are served");
    if (request.Method.empty() ||
        !std::all_of(request.Method.begin(), request.Method.end(), [](unsigned char c) { return Token_Char(c); }))
        return Bad(400, "The method is not a token");
    request.Keep_Alive = version == "HTTP/1.1";

    while (line_end != std::string::npos) {
        const size_t start = line_end + 2;
        line_end = head.find("\r\n", start);
        const std::string line =
            head.substr(start, line_end == std::string::npos ? std::string::npos : line_end - start);
        const size_t colon = line.find(':');
        if (colon == 0 || colon == std::string::npos) return Bad(400, "A header line has no name");
        const std::string name = Lower(line.substr(0, colon));
        if (!std::all_of(name.begin(), name.end(), [](unsigned char c) { return Token_Char(c); }))
            return Bad(400, "A header name holds a character no header name may hold");
        const std::string value = Trim(line.substr(colon + 1));
        if (std::any_of(value.begin(), value.end(), [](unsigned char c) { return c < 0x20 && c != '\t'; }))
            return Bad(400, "A header value holds a control character");
        request.Headers.emplace(name, value);
    }

    if (const std::string connection = request.Header("connection"); !connection.empty()) {
        if (Has_Token(connection, "close")) request.Keep_Alive = false;
        if (Has_Token(connection, "keep-alive")) request.Keep_Alive = true;
    }
    const std::string length = request.Header("content-length");
    if (!request.Header("transfer-encoding").empty() || (!length.empty() && length != "0"))
        return Bad(413, "Requests to this server carry no body");
    if (request.Method != "GET" && request.Method != "HEAD") return Bad(405, "Only GET and HEAD are served");

    if (target.empty() || target[0] != '/') return Bad(400, "The path must start with /");
    const size_t q = target.find('?');
    if (!Percent_Decode(target.substr(0, q), false, request.Path)) return Bad(400, "The path holds a broken % escape");
    if (q != std::string::npos) {
        const std::string query = target.substr(q + 1);
        size_t start = 0;
        while (start < query.size()) {
            size_t amp = query.find('&', start);
            if (amp == std::string::npos) amp = query.size();
            const std::string pair = query.substr(start, amp - start);
            const size_t eq = pair.find('=');
            std::string name, value;
            if (!Percent_Decode(pair.substr(0, eq), true, name) ||
                !Percent_Decode(eq == std::string::npos ? std::string() : pair.substr(eq + 1), true, value))
                return Bad(400, "The query holds a broken % escape");
            if (!name.empty()) request.Query.emplace(name, value);
            start = amp + 1;
        }
    }
    Parse_Result done;
    done.State = Parse_State::Done;
    done.Head_Size = static_cast<size_t>(end) + 4;
    return done;
}

const char* Status_Text(int status) {
    switch (status) {
        case 200: return "OK";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 413: return "Content Too Large";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        case 505: return "HTTP Version Not Supported";
        default: return "Error";
    }
}

QByteArray Response(int status, const std::string& content_type, const QByteArray& body, bool head_only,
                    bool keep_alive, const std::string& extra_headers) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + Status_Text(status) + "\r\n";
    if (!content_type.empty()) head += "Content-Type: " + content_type + "\r\n";
    head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    // The pages run no code from anywhere else and are never framed by another site.
    head += "X-Content-Type-Options: nosniff\r\nReferrer-Policy: no-referrer\r\n";
    head += keep_alive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += extra_headers;
    head += "\r\n";
    QByteArray out = QByteArray::fromStdString(head);
    if (!head_only) out += body;
    return out;
}

}  // namespace Http
