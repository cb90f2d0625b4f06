#include "standin.h"

#include "config.h"
#include "studioservice.h"

#include <QtGlobal>

#include <functional>

struct StandIn::Impl
{
    StudioService service;
    QString previousHost;

    void changeFault(const QString& module, const QString& action,
                     const std::function<void(StudioService::Fault&)>& change)
    {
        StudioService::Fault f = service.fault(module, action);
        change(f);
        service.setFault(module, action, f);
    }
};

namespace {

StandIn::LoggedRequest toLogged(const StudioService::LoggedRequest& r)
{
    StandIn::LoggedRequest l;
    l.method = r.method;
    l.path = r.path;
    l.g = r.g;
    l.m = r.m;
    l.a = r.a;
    l.rawBody = r.rawBody;
    l.keys = r.keys;
    l.values = r.values;
    l.contentType = r.contentType;
    return l;
}

} // namespace

StandIn::StandIn(const QString& fixturePath) : d(new Impl)
{
    const QString fixture = fixturePath.isEmpty() ? StudioService::demoFixturePath() : fixturePath;
    QString error;
    if (!d->service.loadFixture(fixture, &error))
        qFatal("StandIn: %s", qPrintable(error));
    if (!d->service.start(0))
        qFatal("StandIn: no free loopback port");
    d->previousHost = Config::url_host;
    Config::url_host = baseUrl();
    Config::composeRoutes();
}

StandIn::~StandIn()
{
    d->service.stop();
    Config::url_host = d->previousHost;
    Config::composeRoutes();
}

QString StandIn::baseUrl() const
{
    return d->service.baseUrl();
}

QList<StandIn::LoggedRequest> StandIn::log() const
{
    QList<LoggedRequest> list;
    for (const StudioService::LoggedRequest& r : d->service.log())
        list.append(toLogged(r));
    return list;
}

QList<StandIn::LoggedRequest> StandIn::requests(const QString& module, const QString& action) const
{
    QList<LoggedRequest> list;
    for (const StudioService::LoggedRequest& r : d->service.log()) {
        if (r.m == module && r.a == action)
            list.append(toLogged(r));
    }
    return list;
}

void StandIn::clearLog()
{
    d->service.clearLog();
}

void StandIn::refuse(const QString& module, const QString& action, const QString& code,
                     const QString& message)
{
    d->changeFault(module, action, [&](StudioService::Fault& f) {
        f.kind = StudioService::Fault::Kind::Refuse;
        f.code = code;
        f.message = message;
    });
}

void StandIn::failHttp(const QString& module, const QString& action, int status)
{
    d->changeFault(module, action, [&](StudioService::Fault& f) {
        f.kind = StudioService::Fault::Kind::HttpError;
        f.status = status;
    });
}

void StandIn::sendRaw(const QString& module, const QString& action, const QByteArray& body)
{
    d->changeFault(module, action, [&](StudioService::Fault& f) {
        f.kind = StudioService::Fault::Kind::Raw;
        f.body = body;
    });
}

void StandIn::delay(const QString& module, const QString& action, int ms)
{
    d->changeFault(module, action, [&](StudioService::Fault& f) { f.delayMs = ms; });
}

void StandIn::drop(const QString& module, const QString& action)
{
    d->changeFault(module, action,
                   [&](StudioService::Fault& f) { f.kind = StudioService::Fault::Kind::Drop; });
}

void StandIn::sendChunked(const QString& module, const QString& action)
{
    d->changeFault(module, action,
                   [&](StudioService::Fault& f) { f.kind = StudioService::Fault::Kind::Chunked; });
}

void StandIn::trickle(const QString& module, const QString& action, int pauseMs)
{
    d->changeFault(module, action, [&](StudioService::Fault& f) {
        f.kind = StudioService::Fault::Kind::Trickle;
        f.pauseMs = pauseMs;
    });
}

void StandIn::dropAfterWork(const QString& module, const QString& action)
{
    d->changeFault(module, action,
                   [&](StudioService::Fault& f) { f.kind = StudioService::Fault::Kind::DropAfterWork; });
}

void StandIn::answerAfterWork(const QString& module, const QString& action, int status,
                              const QByteArray& before)
{
    d->changeFault(module, action, [&](StudioService::Fault& f) {
        f.kind = StudioService::Fault::Kind::AfterWork;
        f.status = status;
        f.body = before;
    });
}

void StandIn::hold(const QString& module, const QString& action)
{
    d->changeFault(module, action, [](StudioService::Fault& f) { f.held = true; });
}

void StandIn::release(const QString& module, const QString& action)
{
    d->service.release(module, action);
}

void StandIn::clearFaults()
{
    d->service.clearFaults();
}

QJsonObject StandIn::storeSnapshot() const
{
    return d->service.storeSnapshot();
}

void StandIn::useDemoIdentity()
{
    Config::shop_id = QStringLiteral("12");
    Config::super_id = QStringLiteral("8");
    Config::manager_id = QStringLiteral("1024");
    Config::uid = QStringLiteral("2048");
}
