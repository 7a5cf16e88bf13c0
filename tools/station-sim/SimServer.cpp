#include "SimServer.h"

#include <QDateTime>
#include <cctype>
#include <cstdio>
#include <httplib.h>
#include <mutex>

namespace {

// What the handler learnt about the request, for the log line written after
// the reply. httplib runs handler and logger on the same worker thread.
thread_local std::string RequestNote;

bool IsForm(const httplib::Request &ARequest) {
    std::string type = ARequest.get_header_value("Content-Type");
    for (char &c : type)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const std::string form = "application/x-www-form-urlencoded";
    return type.compare(0, form.size(), form) == 0 &&
           (type.size() == form.size() || type[form.size()] == ';' || type[form.size()] == ' ');
}

// Keeps a log line one line, whatever the client put into its request.
std::string Printable(std::string_view AText) {
    std::string text;
    for (const char c : AText.substr(0, 200))
        text += quint8(c) < 0x20 || c == 0x7f ? '?' : c;
    return text;
}

void Reply(httplib::Response &AResponse, const TSimReply &AReply) {
    AResponse.status = AReply.Status;
    AResponse.set_content(AReply.Body, AReply.ContentType);
}

} // namespace

TSimServer::TSimServer(TSimService &AService, const TSimServerOptions &AOptions)
    : FService(AService), FOptions(AOptions) {
    if (!FOptions.CertFile.empty() || !FOptions.KeyFile.empty())
        FServer = std::make_unique<httplib::SSLServer>(FOptions.CertFile.c_str(),
                                                       FOptions.KeyFile.c_str());
    else
        FServer = std::make_unique<httplib::Server>();
    Setup();
}

TSimServer::~TSimServer() = default;

bool TSimServer::IsValid() const {
    return FServer->is_valid();
}

int TSimServer::Bind(const std::string &AHost, int APort) {
    if (APort == 0)
        return FServer->bind_to_any_port(AHost);
    return FServer->bind_to_port(AHost, APort) ? APort : -1;
}

bool TSimServer::Run() {
    return FServer->listen_after_bind();
}

bool TSimServer::IsRunning() const {
    return FServer->is_running();
}

void TSimServer::Stop() {
    FServer->stop();
}

void TSimServer::Log(const std::string &ALine) const {
    if (FLog) {
        FLog(ALine);
        return;
    }
    static std::mutex lock;
    std::lock_guard guard(lock);
    std::fprintf(stderr, "%s\n", ALine.c_str());
    std::fflush(stderr);
}

void TSimServer::Setup() {
    FServer->set_payload_max_length(FOptions.MaxBodySize);

    FServer->Get("/", [this](const httplib::Request &ARequest, httplib::Response &AResponse) {
        // The raw query, not httplib's reading of it: clients write a space as "+".
        const std::string_view target = ARequest.target;
        const std::size_t query = target.find('?');
        TSimRequestDecoder decoder;
        if (query != std::string_view::npos)
            decoder.Feed(target.substr(query + 1));
        const TSimRequest request = decoder.Finish();
        RequestNote = TSimService::Describe(request);
        if (decoder.Overflow())
            Reply(AResponse, {400, "text/plain; charset=utf-8", "Form item too long"});
        else
            Reply(AResponse, FService.Handle(request));
    });

    FServer->Post("/", [this](const httplib::Request &ARequest, httplib::Response &AResponse,
                              const httplib::ContentReader &AReader) {
        // The body is decoded while it arrives; only the small items and the
        // head of the voice track are kept.
        const bool form = IsForm(ARequest);
        qint64 bodySize = 0;
        TSimRequestDecoder decoder;
        AReader([&](const char *AData, std::size_t ALength) {
            bodySize += qint64(ALength);
            if (form)
                decoder.Feed(std::string_view(AData, ALength));
            return true;
        });
        const TSimRequest request = decoder.Finish();
        RequestNote = TSimService::Describe(request);
        RequestNote += (RequestNote.empty() ? "body=" : " body=") + std::to_string(bodySize);
        if (!form)
            Reply(AResponse, {415, "text/plain; charset=utf-8",
                              "Expected an application/x-www-form-urlencoded form"});
        else if (decoder.Overflow())
            Reply(AResponse, {400, "text/plain; charset=utf-8", "Form item too long"});
        else
            Reply(AResponse, FService.Handle(request));
    });

    FServer->set_logger(
        [this](const httplib::Request &ARequest, const httplib::Response &AResponse) {
            std::string note = std::move(RequestNote);
            RequestNote.clear();
            if (note.empty() || ARequest.path != "/")
                note = Printable(ARequest.path);
            const QByteArray time = QDateTime::currentDateTime()
                                        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                                        .toUtf8();
            Log(time.toStdString() + ' ' + ARequest.remote_addr + ':' +
                std::to_string(ARequest.remote_port) + ' ' + ARequest.method + ' ' + note + " -> " +
                std::to_string(AResponse.status));
        });
}
