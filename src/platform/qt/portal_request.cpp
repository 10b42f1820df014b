#include "portal_request.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusObjectPath>
#include <QEventLoop>
#include <QTimer>

namespace kwp::qt {

namespace {
constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";
}  // namespace

QString PortalRequestPath(const QString& uniqueName, const QString& token) {
    QString sender = uniqueName;
    if (sender.startsWith(u':')) sender.remove(0, 1);
    sender.replace(u'.', u'_');
    return QString::fromLatin1(kPortalPath) + "/request/" + sender + "/" + token;
}

QString NextPortalToken() {
    static unsigned counter = 0;
    return QStringLiteral("kwpshot%1").arg(++counter);
}

PortalRequest::Answer PortalAnswer(uint response) {
    switch (response) {
        case 0: return PortalRequest::Answer::Ok;
        case 1: return PortalRequest::Answer::Cancelled;
        default: return PortalRequest::Answer::Failed;
    }
}

PortalRequest::PortalRequest(QDBusConnection bus, Done done) : bus_(std::move(bus)), done_(std::move(done)) {}

PortalRequest::~PortalRequest() {
    if (!finished_ && !path_.isEmpty()) {
        // Nobody waits for this answer any more: the portal may let go of it.
        bus_.asyncCall(QDBusMessage::createMethodCall(kPortalService, path_, kRequestInterface, "Close"));
    }
    StopListening();
}

std::unique_ptr<PortalRequest> PortalRequest::Start(QDBusConnection bus, const QDBusMessage& call,
                                                    const QString& token, Done done) {
    std::unique_ptr<PortalRequest> request(new PortalRequest(bus, std::move(done)));
    if (!request->Listen(PortalRequestPath(bus.baseService(), token))) {
        request->Finish(Answer::Failed, {{"error", QStringLiteral("Cannot listen on the session bus")}});
        return request;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), request.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, request.get(),
                     [self = request.get()](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         const QDBusPendingReply<QDBusObjectPath> reply = *w;
                         if (reply.isError()) {
                             self->Finish(Answer::Failed, {{"error", reply.error().message()}});
                             return;
                         }
                         const QString path = reply.value().path();
                         if (!self->finished_ && path != self->path_) {
                             self->StopListening();
                             if (!self->Listen(path))
                                 self->Finish(Answer::Failed,
                                              {{"error", QStringLiteral("Cannot listen on the session bus")}});
                         }
                     });
    return request;
}

PortalReply AskPortal(QDBusConnection bus, const QDBusMessage& call, const QString& token,
                      std::chrono::milliseconds wait) {
    QEventLoop loop;
    PortalReply reply;
    auto request = PortalRequest::Start(bus, call, token, [&](PortalRequest::Answer answer, const QVariantMap& r) {
        reply.answer = answer;
        reply.results = r;
        loop.quit();
    });
    if (!reply.answer) {
        QTimer::singleShot(wait, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return reply;
}

bool PortalRequest::Listen(const QString& path) {
    if (!bus_.connect(kPortalService, path, kRequestInterface, "Response", this,
                      SLOT(Response(uint, QVariantMap))))
        return false;
    path_ = path;
    return true;
}

void PortalRequest::StopListening() {
    if (path_.isEmpty()) return;
    bus_.disconnect(kPortalService, path_, kRequestInterface, "Response", this, SLOT(Response(uint, QVariantMap)));
    path_.clear();
}

void PortalRequest::Response(uint response, const QVariantMap& results) {
    Finish(PortalAnswer(response), results);
}

void PortalRequest::Finish(Answer answer, const QVariantMap& results) {
    if (finished_) return;
    finished_ = true;
    StopListening();
    if (done_) done_(answer, results);
}

}  // namespace kwp::qt
