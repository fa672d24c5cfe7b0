#pragma once
#include <memory>
#include <string>
#include <vector>

class QProcess;

// A print server of the test's own: the system's cupsd with its configuration,
// spool, logs and socket in a folder of its own, never the machine's printers.
// Its queues are a PDF printer (the cups-pdf backend, writing into the folder)
// and a PostScript printer writing into a file. The program's printing finds
// it through CUPS_SERVER, which Start sets for the whole process.
//
// The client library keeps the server it first talked to, so every server of
// one test process uses the same socket: one server at a time.
class Private_Print_Server {
public:
    // The server program is installed.
    static bool Installed();
    // Why the server cannot run here (the PDF backend runs only as root); empty when it can.
    static std::string Cannot_Run_Reason();

    Private_Print_Server();
    ~Private_Print_Server();
    Private_Print_Server(const Private_Print_Server&) = delete;
    Private_Print_Server& operator=(const Private_Print_Server&) = delete;

    // Starts a server without queues; on failure the reason is in Error().
    bool Start();
    bool Add_Pdf_Queue(const std::string& name);
    bool Add_PostScript_Queue(const std::string& name);
    bool Set_Default(const std::string& name);
    const std::string& Error() const { return m_Error; }

    // Waits until every job has left the queues (a minute at most); false when one is still there.
    bool Wait_For_Jobs();

    // A job as the server logged it when it was done.
    struct Job {
        std::string queue;
        int id = 0;
        int copies = 0;
    };
    std::vector<Job> Jobs() const;
    // The document a job received, as the program sent it.
    std::string Job_Document(int id) const;
    // The PDF files a PDF queue wrote, and the file a PostScript queue wrote.
    std::vector<std::string> Pdf_Outputs(const std::string& queue) const;
    std::string PostScript_Output(const std::string& queue) const;

private:
    bool Run(const std::string& program, const std::vector<std::string>& args);
    void Stop();

    std::string m_Folder;
    std::string m_Root;  // this server's configuration, spool and outputs
    std::vector<std::string> m_Pdf_Configs;
    std::unique_ptr<QProcess> m_Server;
    std::string m_Error;
};
