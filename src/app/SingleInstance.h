#pragma once
// One editor per user session: a later start hands its files to the running editor through a
// local socket in a folder that only the user can enter, and ends.
#include <functional>

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  enum class Role {
    HandedOver,  // a running editor took the files: this process ends
    Primary,     // this process is the editor and listens for later starts
    Alone,       // no safe socket could be had: this process is an editor on its own
  };

  // The socket of this user and display: in XDG_RUNTIME_DIR, or in a private folder of the
  // temporary folder. Empty when no folder owned by the user alone is found.
  static QString defaultSocketPath();

  explicit SingleInstance(QString socketPath = defaultSocketPath(), QObject* parent = nullptr);
  ~SingleInstance() override;

  // Hands the files over to a running editor, or else becomes the one that listens.
  Role start(const QStringList& files, int answerTimeoutMs = 20000, int lockTimeoutMs = 5000);

  // Whether the files go in one request; more open in the process that was given them.
  static bool fitsOneRequest(const QStringList& files);

  // Where handed files go. Files that arrived before (while the splash shows) go now, in order.
  void setReceiver(std::function<void(const QStringList&)> receiver);

  QString socketPath() const { return path_; }

 private:
  enum class HandOver { Taken, NoEditor, NoAnswer };
  HandOver handOver(const QStringList& files, int answerTimeoutMs);
  bool listen();
  void accept();
  void readRequest(QLocalSocket* socket);
  void deliver(const QStringList& files);

  QString path_;
  QLocalServer* server_ = nullptr;
  std::function<void(const QStringList&)> receiver_;
  QList<QStringList> waiting_;
};
