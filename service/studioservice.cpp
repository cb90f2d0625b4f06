#include "studioservice.h"

#include "config.h"
#include "formdecoder.h"
#include "routes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <httplib.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// The piece of a trickled answer.
constexpr size_t kTricklePiece = 16;

QString routeKey(const QString& module, const QString& action)
{
    return module + QLatin1Char('/') + action;
}

int portOf(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return -1;
}

// Closes the server side of one client connection without an answer. The
// HTTP library gives a handler no access to its socket, so the socket is
// found among the process's open descriptors by its two ports.
void dropConnection(int localPort, int remotePort)
{
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& name : fds) {
        bool ok = false;
        const int fd = name.toInt(&ok);
        if (!ok)
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localLength = sizeof local;
        socklen_t peerLength = sizeof peer;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            continue;
        if (portOf(local) == localPort && portOf(peer) == remotePort) {
            ::shutdown(fd, SHUT_RDWR);
            return;
        }
    }
}

QString faultName(StudioService::Fault::Kind kind)
{
    switch (kind) {
    case StudioService::Fault::Kind::Refuse:
        return QStringLiteral("refuse");
    case StudioService::Fault::Kind::HttpError:
        return QStringLiteral("http");
    case StudioService::Fault::Kind::Raw:
        return QStringLiteral("raw");
    case StudioService::Fault::Kind::Drop:
        return QStringLiteral("drop");
    case StudioService::Fault::Kind::Chunked:
        return QStringLiteral("chunked");
    case StudioService::Fault::Kind::Trickle:
        return QStringLiteral("trickle");
    case StudioService::Fault::Kind::AfterWork:
        return QStringLiteral("after work");
    case StudioService::Fault::Kind::DropAfterWork:
        return QStringLiteral("drop after work");
    case StudioService::Fault::Kind::None:
        break;
    }
    return QString();
}

ServiceRequest readRequest(const httplib::Request& req, const std::string& rawBody)
{
    ServiceRequest r;
    r.method = QString::fromStdString(req.method);
    r.path = QString::fromStdString(req.path);
    r.rawBody = QByteArray::fromStdString(rawBody);
    r.contentType = QByteArray::fromStdString(req.get_header_value("Content-Type"));
    const auto q = req.target.find('?');
    const FormData query = FormDecoder::decode(
        q == std::string::npos ? QByteArray() : QByteArray::fromStdString(req.target.substr(q + 1)));
    for (const QString& key : query.keys) {
        if (key == QLatin1String("g"))
            r.g = query.value(key);
        else if (key == QLatin1String("m"))
            r.m = query.value(key);
        else if (key == QLatin1String("a"))
            r.a = query.value(key);
        else
            r.form.add(key, query.value(key));
    }
    const FormData body = FormDecoder::decode(r.rawBody);
    for (int i = 0; i < body.keys.size(); ++i)
        r.form.keys.append(body.keys.at(i));
    for (auto it = body.values.begin(); it != body.values.end(); ++it)
        r.form.values.insert(it.key(), it.value());
    return r;
}

} // namespace

struct StudioService::Impl
{
    httplib::Server server;
    std::thread thread;
    int port = -1;

    mutable std::mutex mutex; // guards everything below
    std::condition_variable wake;
    bool stopping = false;
    QJsonObject store;
    QList<LoggedRequest> log;
    QHash<QString, Fault> faults;
    QHash<QString, quint64> releases; // by route: how often its held answers were let go
    QFile logFile;

    void handle(const httplib::Request& req, const std::string& body, httplib::Response& res);
    void writeLogLine(const LoggedRequest& entry, const Fault& fault);
    // Waits ms unless the server stops first; false when it stops.
    bool pause(int ms);
    // Waits until the route is released after ticket, or the server stops.
    void waitForRelease(const QString& route, quint64 ticket);
};

bool StudioService::Impl::pause(int ms)
{
    std::unique_lock<std::mutex> lock(mutex);
    return !wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
}

void StudioService::Impl::waitForRelease(const QString& route, quint64 ticket)
{
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait(lock, [&] { return stopping || releases.value(route) != ticket; });
}

void StudioService::Impl::writeLogLine(const LoggedRequest& entry, const Fault& fault)
{
    if (!logFile.isOpen())
        return;
    QJsonObject values;
    for (auto it = entry.values.begin(); it != entry.values.end(); ++it)
        values.insert(it.key(), it.value());
    QJsonObject line{
        {"time", QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
        {"method", entry.method},
        {"path", entry.path},
        {"g", entry.g},
        {"m", entry.m},
        {"a", entry.a},
        {"body", QString::fromUtf8(entry.rawBody)},
        {"keys", QJsonArray::fromStringList(entry.keys)},
        {"values", values},
    };
    if (fault.kind != Fault::Kind::None)
        line.insert("fault", faultName(fault.kind));
    if (fault.delayMs > 0)
        line.insert("delayMs", fault.delayMs);
    if (fault.pauseMs > 0)
        line.insert("pauseMs", fault.pauseMs);
    if (fault.held)
        line.insert("held", true);
    logFile.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
    logFile.flush();
}

void StudioService::Impl::handle(const httplib::Request& req, const std::string& body, httplib::Response& res)
{
    const ServiceRequest request = readRequest(req, body);
    const QString route = routeKey(request.m, request.a);
    Fault fault;
    quint64 ticket = 0;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const LoggedRequest entry{request.method,    request.path,        request.g,
                                  request.m,         request.a,           request.rawBody,
                                  request.form.keys, request.form.values, request.contentType};
        log.append(entry);
        fault = faults.value(route);
        if (fault.kind == Fault::Kind::DropAfterWork)
            faults.remove(route); // the next request is answered
        ticket = releases.value(route);
        writeLogLine(entry, fault);
    }
    if (fault.delayMs > 0)
        pause(fault.delayMs);

    ServiceReply reply;
    switch (fault.kind) {
    case Fault::Kind::Drop:
        dropConnection(req.local_port, req.remote_port);
        return;
    case Fault::Kind::Refuse:
        reply = ServiceReply::refusal(fault.code, fault.message);
        break;
    case Fault::Kind::HttpError:
        // A body that would pass for success: only the status tells the failure.
        reply = ServiceReply::refusal("1", QStringLiteral("服务器内部错误"), fault.status);
        break;
    case Fault::Kind::Raw:
        reply.body = fault.body;
        break;
    case Fault::Kind::None:
    case Fault::Kind::Chunked:
    case Fault::Kind::Trickle:
    case Fault::Kind::AfterWork:
    case Fault::Kind::DropAfterWork: {
        std::lock_guard<std::mutex> lock(mutex);
        reply = Routes::dispatch(store, request);
        break;
    }
    }
    if (fault.kind == Fault::Kind::DropAfterWork) {
        dropConnection(req.local_port, req.remote_port);
        return;
    }
    if (fault.kind == Fault::Kind::AfterWork) {
        // The work is done; what reaches the client says otherwise (a
        // gateway's status, a notice printed before the answer).
        reply.status = fault.status;
        reply.body.prepend(fault.body);
    }
    if (fault.held)
        waitForRelease(route, ticket);
    res.status = reply.status;
    if (fault.kind == Fault::Kind::Chunked) {
        auto body = std::make_shared<std::string>(reply.body.toStdString());
        res.set_chunked_content_provider(reply.contentType.toStdString(),
                                         [body](size_t offset, httplib::DataSink& sink) {
                                             const size_t piece = std::min<size_t>(1024, body->size() - offset);
                                             if (piece > 0)
                                                 sink.write(body->data() + offset, piece);
                                             if (offset + piece >= body->size())
                                                 sink.done();
                                             return true;
                                         });
        return;
    }
    if (fault.kind == Fault::Kind::Trickle) {
        // Each piece comes before a per-request inactivity limit would end
        // the transfer, while the whole answer takes as long as it takes.
        auto body = std::make_shared<std::string>(reply.body.toStdString());
        const int pauseMs = fault.pauseMs;
        res.set_content_provider(
            body->size(), reply.contentType.toStdString(),
            [this, body, pauseMs](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset > 0 && !pause(pauseMs))
                    return false;
                return sink.write(body->data() + offset, std::min(kTricklePiece, length));
            });
        return;
    }
    res.set_content(reply.body.toStdString(), reply.contentType.toStdString());
}

StudioService::StudioService() : d(new Impl)
{
    // Every connection carries one request: a dropped or delayed answer can
    // never hold up a later request on the same connection.
    d->server.set_keep_alive_max_count(1);
    // A real service takes form bodies of tens of megabytes (an order's
    // photo names ride in them); the HTTP library's own form reader stops
    // at 8 KB, so the body is read here.
    d->server.set_payload_max_length(maxBodyBytes);
    d->server.Get(
        ".*", [this](const httplib::Request& req, httplib::Response& res) { d->handle(req, req.body, res); });
    d->server.Post(".*", [this](const httplib::Request& req, httplib::Response& res,
                                const httplib::ContentReader& content) {
        std::string body;
        bool tooLarge = false;
        const bool read = content([&body, &tooLarge](const char* data, size_t length) {
            tooLarge = body.size() + length > maxBodyBytes;
            if (!tooLarge)
                body.append(data, length);
            return !tooLarge;
        });
        if (!read || tooLarge) {
            res.status = 413;
            return;
        }
        d->handle(req, body, res);
    });
}

StudioService::~StudioService()
{
    stop();
}

QString StudioService::demoFixturePath()
{
    return QStringLiteral(DRAVIN_DEMO_FIXTURE);
}

bool StudioService::loadFixture(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        *error = QStringLiteral("%1 is not a JSON object: %2").arg(path, parseError.errorString());
        return false;
    }
    const QJsonObject root = doc.object();
    for (const char* key : {"users", "shops", "orders"}) {
        if (!root.value(key).isArray()) {
            *error = QStringLiteral("%1 has no \"%2\" array").arg(path, QLatin1String(key));
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(d->mutex);
    d->store = root;
    return true;
}

bool StudioService::setLogFile(const QString& path)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->logFile.close();
    d->logFile.setFileName(path);
    return d->logFile.open(QIODevice::WriteOnly | QIODevice::Append);
}

bool StudioService::start(int port)
{
    // A client that gives up on a delayed answer must not end the process
    // when the late answer is written to its closed connection.
    std::signal(SIGPIPE, SIG_IGN);
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = false;
    }
    const char* host = "127.0.0.1";
    if (port == 0) {
        d->port = d->server.bind_to_any_port(host);
    } else {
        d->port = d->server.bind_to_port(host, port) ? port : -1;
    }
    if (d->port < 0)
        return false;
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
    // stop() only ends a server that is already running.
    while (!d->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void StudioService::stop()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    d->server.stop();
    if (d->thread.joinable())
        d->thread.join();
}

int StudioService::port() const
{
    return d->port;
}

QString StudioService::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(d->port);
}

QList<StudioService::LoggedRequest> StudioService::log() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->log;
}

void StudioService::clearLog()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->log.clear();
}

StudioService::Fault StudioService::fault(const QString& module, const QString& action) const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->faults.value(routeKey(module, action));
}

void StudioService::setFault(const QString& module, const QString& action, const Fault& fault)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults.insert(routeKey(module, action), fault);
}

void StudioService::clearFaults()
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->faults.clear();
}

void StudioService::release(const QString& module, const QString& action)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        ++d->releases[routeKey(module, action)];
    }
    d->wake.notify_all();
}

QJsonObject StudioService::storeSnapshot() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->store;
}

QStringList StudioService::missingPaths(const QJsonObject& store, const QString& volumesRoot)
{
    QStringList paths;
    auto addRoots = [&paths](const QJsonObject& o) {
        for (const char* key : {"picpath", "bakpicpath", "homepicpath"})
            paths.append(Routes::asText(o.value(key)).toString());
    };
    for (const QJsonValue& shop : store.value("shops").toArray()) {
        addRoots(shop.toObject().value("settings").toObject());
        for (const QJsonValue& s : shop.toObject().value("stores").toArray())
            addRoots(s.toObject());
    }
    for (const QJsonValue& order : store.value("orders").toArray()) {
        for (const char* key : {"orderpath", "orderbakpicpath"})
            paths.append(Routes::asText(order.toObject().value(key)).toString());
    }

    const QString previousRoot = Config::volumesRoot();
    Config::setVolumesRoot(volumesRoot);
    QStringList missing;
    for (const QString& p : paths) {
        if (!p.isEmpty() && !missing.contains(p) && !QDir(Config::returnPicPath(p)).exists())
            missing.append(p);
    }
    Config::setVolumesRoot(previousRoot);
    return missing;
}
