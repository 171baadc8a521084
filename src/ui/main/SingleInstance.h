#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>

class QLocalServer;

// One running program per executable: the first start listens on a local socket named from the
// executable's canonical path; a later start hands its first argument to it and ends.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(const std::string& serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when a running instance took the request (this process ends with status 0).
    bool HandOver(const std::optional<std::string>& argument);
    // Becomes the instance later starts find; a socket left by a crashed start is taken over.
    bool Listen();

  signals:
    // A later start asked to come to the front and, when `path` is not empty, to open it.
    void Requested(const QString& path);

  private:
    void OnNewConnection();

    QString name_;
    QLocalServer* server_ = nullptr;
    std::string lastPath_;
};
