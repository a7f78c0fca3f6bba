#pragma once
// The help of the program: HTML topics shipped inside it, with a table of contents, a keyword
// search and a page on how to use the help. Help contexts 1 to 10 open their own topics.
#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTextBrowser;

class HelpViewer : public QWidget {
  Q_OBJECT
 public:
  explicit HelpViewer(QWidget* parent = nullptr);

  void showContents();
  void showSearch();
  void showHowToUse();
  void showContext(int context);

  // The topic shown (its resource path) and the topics that the search field lists.
  QString currentTopic() const;
  QStringList listedTopics() const;
  void search(const QString& words);

  // The topic of a help context; the contents for an unknown one.
  static QString topicOfContext(int context);

 private:
  void showTopic(const QString& topic);
  void listAll();

  QLineEdit* search_;
  QListWidget* list_;
  QTextBrowser* browser_;
};
