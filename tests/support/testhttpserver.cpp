#include "testhttpserver.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct TestHttpServer::Impl
{
    httplib::Server server;
    std::thread thread;
    int port = 0;
    std::mutex mutex;
    std::condition_variable stopped;
    bool stopping = false;
    Handler handler;
    QList<Request> requests;
};

TestHttpServer::TestHttpServer() : d(new Impl)
{
    auto handle = [this](const httplib::Request& req, httplib::Response& res) {
        Request r;
        r.method = QString::fromStdString(req.method);
        r.path = QString::fromStdString(req.path);
        const auto q = req.target.find('?');
        if (q != std::string::npos)
            r.query = QString::fromStdString(req.target.substr(q + 1));
        r.body = QByteArray::fromStdString(req.body);
        r.contentType = QByteArray::fromStdString(req.get_header_value("Content-Type"));
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(d->mutex);
            d->requests.append(r);
            handler = d->handler;
        }
        Response out;
        if (handler)
            out = handler(r);
        else
            out.body = "{\"code\":\"1\"}";
        if (out.delayMs > 0) {
            std::unique_lock<std::mutex> lock(d->mutex);
            d->stopped.wait_for(lock, std::chrono::milliseconds(out.delayMs), [this] { return d->stopping; });
        }
        res.status = out.status;
        res.set_content(out.body.toStdString(), out.contentType.toStdString());
    };
    d->server.set_keep_alive_max_count(1);
    d->server.Get(".*", handle);
    d->server.Post(".*", handle);
    d->port = d->server.bind_to_any_port("127.0.0.1");
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
}

TestHttpServer::~TestHttpServer()
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->stopping = true;
    }
    d->stopped.notify_all();
    d->server.stop();
    if (d->thread.joinable())
        d->thread.join();
}

void TestHttpServer::setHandler(Handler handler)
{
    std::lock_guard<std::mutex> lock(d->mutex);
    d->handler = std::move(handler);
}

QString TestHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(d->port);
}

QList<TestHttpServer::Request> TestHttpServer::requests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->requests;
}
