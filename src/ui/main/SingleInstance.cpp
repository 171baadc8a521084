#include "ui/main/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <memory>

#include "frontend/InstanceMessages.h"

namespace {
constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 5000;
constexpr char kAnswer = '1';
}  // namespace

SingleInstance::SingleInstance(const std::string& serverName, QObject* parent)
    : QObject(parent), name_(QString::fromStdString(serverName)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::HandOver(const std::optional<std::string>& argument) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(kConnectMs)) return false;
    const std::string bytes =
        instance::Encode(instance::RequestFor(argument, QDir::currentPath().toStdString()));
    socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (!socket.waitForBytesWritten(kAnswerMs)) return false;
    // The first instance answers once it has taken the request, so the file is not lost when
    // this process ends at once.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(kAnswerMs)) break;
    }
    return true;
}

bool SingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Someone answers: that one is the first instance after all (a start racing ours).
        QLocalSocket probe;
        probe.connectToServer(name_);
        if (probe.waitForConnected(kConnectMs)) return false;
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    return true;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto decoder = std::make_shared<instance::Decoder>(lastPath_);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, decoder] {
            const QByteArray bytes = socket->readAll();
            const auto requests = decoder->Feed(
                std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
            if (decoder->Failed()) {
                socket->abort();
                return;
            }
            for (const instance::Request& request : requests) {
                socket->write(&kAnswer, 1);
                // Opening the file may show a modal dialog, whose event loop would free this
                // socket (its deleteLater on disconnect) while its readyRead is still on the
                // stack. The request is handed on once the socket's signal has returned.
                QTimer::singleShot(0, this, [this, path = QString::fromStdString(request.path)] {
                    emit Requested(path);
                });
            }
        });
    }
}
