// The bytes a browser or anything else on the network sends the web server,
// as it reads them: any bytes, taken as request heads one after the other
// (a kept-alive connection). A head is taken, asked for more, or refused with
// a status and a reason; what is taken is bounded and answered with a whole
// response, whatever the path and query hold.
#include <string>

#include <QByteArray>

#include "Fuzz_Support.h"
#include "web/Http_Request.h"
#include "web/Web_Content.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    Fuzz::Init(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::string key = "fuzzing-key-0123456789";
    Web_Content content;
    content.Set_Key(key);
    for (int requests = 0; requests < 64; ++requests) {
        Http_Request request;
        const Http::Parse_Result r = Http::Parse(bytes, request);
        if (r.State == Http::Parse_State::Incomplete) {
            if (static_cast<size_t>(bytes.size()) >= Http::Max_Head_Bytes || bytes.contains("\r\n\r\n"))
                Fuzz::Fail("a complete or oversized head was taken as incomplete");
            break;
        }
        if (r.State == Http::Parse_State::Bad) {
            if (r.Reason.empty() || r.Status < 400 || r.Status > 599) Fuzz::Fail("a refusal without reason or status");
            break;
        }
        if (r.Head_Size == 0 || r.Head_Size > Http::Max_Head_Bytes || r.Head_Size > static_cast<size_t>(bytes.size()))
            Fuzz::Fail("a taken head of " + std::to_string(r.Head_Size) + " bytes");
        if (request.Method != "GET" && request.Method != "HEAD") Fuzz::Fail("method " + request.Method + " taken");
        if (request.Path.empty() || request.Path[0] != '/' || request.Path.find('\0') != std::string::npos)
            Fuzz::Fail("path \"" + request.Path + "\" taken");
        const Web_Content::Reply reply = content.Respond(request);
        // Only the key opens anything; with it, a page, a refusal of what is not there, or an error.
        const bool keyed = request.Param("key") == key;
        if ((reply.Status == 403) == keyed)
            Fuzz::Fail("key \"" + request.Param("key") + "\" answered " + std::to_string(reply.Status));
        const QByteArray whole = Http::Response(reply.Status, reply.Type, reply.Body, request.Method == "HEAD",
                                                request.Keep_Alive, reply.Headers);
        const QByteArray status_line = "HTTP/1.1 " + QByteArray::number(reply.Status) + " ";
        if (!whole.startsWith(status_line) || !whole.contains("\r\n\r\n")) Fuzz::Fail("a malformed response");
        bytes.remove(0, static_cast<qsizetype>(r.Head_Size));
    }
    return 0;
}
