#include "Private_Print_Server.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <QProcess>
#include <QStringList>

namespace fs = std::filesystem;

namespace {

const char* const Server_Program = "/usr/sbin/cupsd";
const char* const Pdf_Backend = "/usr/lib/cups/backend/cups-pdf";
// The backend reads its settings only from the system's folder, one file per
// instance named after the device address.
const char* const Pdf_Backend_Config_Folder = "/etc/cups";
const char* const Pdf_Model = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
const char* const PostScript_Model = "drv:///sample.drv/generic.ppd";

// The client library keeps one server per process, so every server of this
// process listens on the same socket.
const std::string& Process_Folder() {
    // Never destroyed: the clean-up at exit still needs it.
    static const std::string* folder = [] {
        const fs::path p = fs::path("/tmp") / ("houndex-cups-" + std::to_string(::getpid()));
        fs::create_directories(p);
        auto* path = new std::string(p.string());
        std::atexit([] {
            std::error_code ec;
            if (!std::getenv("HOUNDEX_KEEP_PRINTS")) fs::remove_all(Process_Folder(), ec);
        });
        return path;
    }();
    return *folder;
}

void Write_File(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::string Read_File(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Pdf_Instance(const std::string& queue) { return "houndex-" + std::to_string(::getpid()) + "-" + queue; }

}  // namespace

bool Private_Print_Server::Installed() { return fs::exists(Server_Program); }

std::string Private_Print_Server::Cannot_Run_Reason() {
    if (!fs::exists(Pdf_Backend)) return std::string("the PDF printer backend ") + Pdf_Backend + " is not installed";
    // The PDF backend is the system's and runs only as root, and only root may
    // give it the settings of its instance.
    if (::geteuid() != 0)
        return "the private print server's PDF printer needs root (run the tests as root, as CI does)";
    return {};
}

Private_Print_Server::Private_Print_Server() : m_Folder(Process_Folder()) {}

Private_Print_Server::~Private_Print_Server() { Stop(); }

bool Private_Print_Server::Start() {
    Stop();
    static int servers = 0;
    m_Root = (fs::path(m_Folder) / ("server" + std::to_string(++servers))).string();
    const fs::path root(m_Root);
    for (const char* sub : {"spool/tmp", "cache", "state", "log", "output"}) fs::create_directories(root / sub);
    const std::string socket = (fs::path(m_Folder) / "cups.sock").string();
    std::error_code ec;
    fs::remove(socket, ec);

    Write_File(root / "cupsd.conf",
               "Listen " + socket +
                   "\n"
                   "LogLevel warn\n"
                   "WebInterface No\n"
                   "Browsing No\n"
                   "DefaultAuthType None\n"
                   "PreserveJobFiles Yes\n"
                   "PreserveJobHistory Yes\n"
                   "PageLogFormat %p %j %{copies}\n"
                   "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                   "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
    Write_File(root / "cups-files.conf", "ServerRoot " + m_Root + "\nRequestRoot " + m_Root + "/spool\nTempDir " +
                                             m_Root + "/spool/tmp\nCacheDir " + m_Root + "/cache\nStateDir " + m_Root +
                                             "/state\nAccessLog " + m_Root + "/log/access_log\nErrorLog " + m_Root +
                                             "/log/error_log\nPageLog " + m_Root + "/log/page_log\nPrintcap " + m_Root +
                                             "/printcap\nFileDevice Yes\n");

    // The program and the tools find the server by this; no default printer from the environment.
    ::setenv("CUPS_SERVER", socket.c_str(), 1);
    ::unsetenv("LPDEST");
    ::unsetenv("PRINTER");

    m_Server = std::make_unique<QProcess>();
    m_Server->setProgram(Server_Program);
    m_Server->setArguments({"-f", "-c", QString::fromStdString(m_Root + "/cupsd.conf"), "-s",
                            QString::fromStdString(m_Root + "/cups-files.conf")});
    m_Server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that dies takes its server with it.
    m_Server->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_Server->start();
    if (!m_Server->waitForStarted(10000)) {
        m_Error = std::string("cannot start ") + Server_Program;
        return false;
    }
    for (int i = 0; i < 200; ++i) {
        if (Run("lpstat", {"-r"})) return true;
        if (m_Server->state() != QProcess::Running) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_Error = "the private print server did not answer: " + Read_File(root / "log/error_log");
    return false;
}

void Private_Print_Server::Stop() {
    if (m_Server) {
        m_Server->terminate();
        if (!m_Server->waitForFinished(10000)) m_Server->kill();
        m_Server->waitForFinished(5000);
        m_Server.reset();
    }
    std::error_code ec;
    for (const std::string& config : m_Pdf_Configs) fs::remove(config, ec);
    m_Pdf_Configs.clear();
    // HOUNDEX_KEEP_PRINTS=1 keeps what the queues wrote, to look at.
    if (!m_Root.empty() && !std::getenv("HOUNDEX_KEEP_PRINTS")) fs::remove_all(m_Root, ec);
}

bool Private_Print_Server::Run(const std::string& program, const std::vector<std::string>& args) {
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    QProcess p;
    p.start(QString::fromStdString(program), list);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_Error = program + " failed: " + p.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

bool Private_Print_Server::Add_Pdf_Queue(const std::string& name) {
    const std::string instance = Pdf_Instance(name);
    const fs::path out = fs::path(m_Root) / "output" / name;
    fs::create_directories(out / "spool");
    const std::string config = (fs::path(Pdf_Backend_Config_Folder) / ("cups-pdf-" + instance + ".conf")).string();
    Write_File(config, "Out " + out.string() + "\nAnonDirName " + out.string() + "\nSpool " + (out / "spool").string() +
                           "\nLog " + m_Root + "/log\nGrp root\n");
    m_Pdf_Configs.push_back(config);
    // Rendered for the backend by poppler's cairo renderer, which keeps the text as text.
    return Run("lpadmin", {"-p", name, "-E", "-v", "cups-pdf:/" + instance, "-P", Pdf_Model, "-o",
                           "pdftops-renderer-default=pdftocairo"});
}

bool Private_Print_Server::Add_PostScript_Queue(const std::string& name) {
    const std::string file = PostScript_Output(name);
    return Run("lpadmin", {"-p", name, "-E", "-v", "file://" + file, "-m", PostScript_Model, "-o",
                           "pdftops-renderer-default=pdftocairo"});
}

bool Private_Print_Server::Set_Default(const std::string& name) { return Run("lpadmin", {"-d", name}); }

bool Private_Print_Server::Wait_For_Jobs() {
    for (int i = 0; i < 600; ++i) {
        QProcess p;
        p.start("lpstat", {"-o"});
        if (p.waitForFinished(30000) && p.exitCode() == 0 && p.readAllStandardOutput().trimmed().isEmpty()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    m_Error = "a job did not leave the queue: " + Read_File(fs::path(m_Root) / "log/error_log");
    return false;
}

std::vector<Private_Print_Server::Job> Private_Print_Server::Jobs() const {
    std::vector<Job> jobs;
    std::istringstream log(Read_File(fs::path(m_Root) / "log/page_log"));
    Job job;
    std::string copies;
    // A job without copies ("-") printed one.
    while (log >> job.queue >> job.id >> copies) {
        job.copies = copies == "-" ? 1 : std::atoi(copies.c_str());
        jobs.push_back(job);
    }
    return jobs;
}

std::string Private_Print_Server::Job_Document(int id) const {
    char name[32];
    std::snprintf(name, sizeof name, "d%05d-001", id);
    return (fs::path(m_Root) / "spool" / name).string();
}

std::vector<std::string> Private_Print_Server::Pdf_Outputs(const std::string& queue) const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(fs::path(m_Root) / "output" / queue, ec))
        if (e.path().extension() == ".pdf") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Private_Print_Server::PostScript_Output(const std::string& queue) const {
    return (fs::path(m_Root) / "output" / (queue + ".ps")).string();
}
