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

  // The topic shown (its URL), the topics that the list holds and the one it highlights (their
  // resource paths), and the words of the search field.
  QString currentTopic() const;
  QStringList listedTopics() const;
  QString selectedTopic() const;
  QString searchText() const;
  void search(const QString& words);  // as if typed in the search field

  // The topic of a help context; the contents for an unknown one.
  static QString topicOfContext(int context);

 private:
  void showTopic(const QString& topic);
  void openTopic(const QString& topic);  // from the menu: whole list, topic highlighted
  void bringUp();
  void listAll();
  void filter(const QString& words);

  QLineEdit* search_;
  QListWidget* list_;
  QTextBrowser* browser_;
};
