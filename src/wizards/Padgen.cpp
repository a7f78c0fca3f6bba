#include "Padgen.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "Prompts.h"
#include "TextFile.h"
#include "WizardButtons.h"

namespace {

QLineEdit* newEdit(QWidget* parent, int number, int maxLength = 0) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QStringLiteral("Edit%1").arg(number));
  if (maxLength > 0) {
    e->setMaxLength(maxLength);
    // Room for the few characters a day, a month or a year takes.
    if (maxLength <= 4) e->setFixedWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('0')) * (maxLength + 1) + 14);
  }
  return e;
}

// A labelled one-line field a row, each made here with its control's number.
struct EditRow {
  const char* label;
  QLineEdit** edit;
  int number;
};
void addEditRows(QFormLayout* form, QWidget* parent, std::initializer_list<EditRow> rows) {
  for (const EditRow& r : rows) {
    *r.edit = newEdit(parent, r.number);
    form->addRow(QString::fromUtf8(r.label), *r.edit);
  }
}

QComboBox* newCombo(QWidget* parent, int number, const QStringList& items, const QString& text) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QStringLiteral("ComboBox%1").arg(number));
  // The text is free: what is typed is what the sheet writes.
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  c->addItems(items);
  c->setEditText(text);
  return c;
}

// visibleLines: the height it opens with, in lines; 0 lets it take the room left.
QPlainTextEdit* newMemo(QWidget* parent, int number, int visibleLines = 0) {
  auto* m = new QPlainTextEdit(parent);
  if (visibleLines > 0)
    m->setFixedHeight(m->fontMetrics().lineSpacing() * visibleLines + 2 * m->frameWidth() + 8);
  else
    m->setMinimumHeight(m->fontMetrics().lineSpacing() * 3);
  m->setObjectName(QStringLiteral("Memo%1").arg(number));
  m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return m;
}

// A day, month and year typed in three boxes.
QWidget* dateRow(QWidget* parent, QLineEdit* day, QLineEdit* month, QLineEdit* year) {
  auto* w = new QWidget(parent);
  auto* row = new QHBoxLayout(w);
  row->setContentsMargins(0, 0, 0, 0);
  const std::pair<const char*, QLineEdit*> parts[] = {{"J", day}, {"M", month}, {"A", year}};
  for (const auto& [caption, edit] : parts) {
    row->addWidget(new QLabel(QLatin1String(caption), w));
    row->addWidget(edit);
  }
  row->addStretch();
  return w;
}

// The association logos: a name on the association's colours.
QPixmap logo(const QSize& size, const QString& name, const QColor& colour) {
  QPixmap p(size);
  p.fill(colour);
  QPainter painter(&p);
  painter.setPen(Qt::white);
  QFont f = painter.font();
  f.setBold(true);
  f.setPixelSize(size.height() * 2 / 3);
  painter.setFont(f);
  painter.drawText(p.rect(), Qt::AlignCenter, name);
  return p;
}

}  // namespace

TPadgen::TPadgen(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Padgen"));
  setWindowTitle(QStringLiteral("Fiche logiciel"));
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->addTab(publisherTab(), QStringLiteral("Infos Editeur"));
  PageControl1->addTab(programTab(), QStringLiteral("Infos Logiciel"));
  PageControl1->addTab(descriptionsTab(), QStringLiteral("Descriptions"));
  PageControl1->addTab(webTab(), QStringLiteral("Infos Web"));
  PageControl1->addTab(permissionsTab(), QStringLiteral("Autorisations"));
  PageControl1->addTab(associationsTab(), QStringLiteral("AFAS"));
  PageControl1->setCurrentIndex(PageControl1->count() - 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(PageControl1);

  connect(Button1, &QPushButton::clicked, this, &TPadgen::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TPadgen::Button2Click);
  Button2->setDefault(true);
  connect(SpeedButton1, &QToolButton::clicked, this, &TPadgen::SpeedButton1Click);
  connect(SpeedButton2, &QToolButton::clicked, this, &TPadgen::SpeedButton2Click);

  setFixedSize(sizeHint().expandedTo(QSize(604, 379)));
}

QWidget* TPadgen::publisherTab() {
  auto* page = new QWidget;
  auto* company = new QFormLayout;
  addEditRows(company, page,
              {{"Société", &Edit1, 1}, {"Adresse1", &Edit2, 2}, {"Adresse2", &Edit3, 3},
               {"C.P.", &Edit4, 4}, {"Ville", &Edit5, 5}, {"Pays", &Edit6, 6},
               {"Site Web", &Edit7, 7}});

  auto* author = new QGroupBox(QStringLiteral("Infos Auteur"), page);
  addEditRows(new QFormLayout(author), author,
              {{"Nom", &Edit8, 8}, {"Prénom", &Edit9, 9}, {"Email", &Edit10, 10}});

  auto* support = new QGroupBox(QStringLiteral("Support"), page);
  auto* supportGrid = new QGridLayout(support);
  supportGrid->addWidget(new QLabel(QStringLiteral("Email -----------------------"), support), 0, 1);
  supportGrid->addWidget(new QLabel(QStringLiteral("Téléphone -----------------------"), support), 0, 2);
  Edit11 = newEdit(support, 11);
  Edit12 = newEdit(support, 12);
  Edit13 = newEdit(support, 13);
  Edit14 = newEdit(support, 14);
  Edit15 = newEdit(support, 15);
  Edit16 = newEdit(support, 16);
  const std::tuple<const char*, QLineEdit*, QLineEdit*> rows[] = {
      {"Vendeur", Edit11, Edit14}, {"Support", Edit12, Edit15}, {"Général", Edit13, Edit16}};
  int r = 1;
  for (const auto& [caption, email, phone] : rows) {
    supportGrid->addWidget(new QLabel(QString::fromUtf8(caption), support), r, 0);
    supportGrid->addWidget(email, r, 1);
    supportGrid->addWidget(phone, r, 2);
    ++r;
  }

  auto* right = new QVBoxLayout;
  right->addWidget(author);
  right->addWidget(support);
  right->addStretch();
  auto* layout = new QHBoxLayout(page);
  layout->addLayout(company);
  layout->addLayout(right);
  return page;
}

QWidget* TPadgen::programTab() {
  auto* page = new QWidget;
  auto* program = new QFormLayout;
  addEditRows(program, page, {{"Nom prog", &Edit17, 17}, {"Version", &Edit18, 18}});
  Edit19 = newEdit(page, 19, 2);
  Edit20 = newEdit(page, 20, 2);
  Edit21 = newEdit(page, 21, 4);
  ComboBox1 = newCombo(page, 1,
                       {QStringLiteral("Shareware"), QStringLiteral("Freeware"),
                        QStringLiteral("Adware"), QStringLiteral("Demo"),
                        QStringLiteral("Commercial"), QStringLiteral("Data Only")},
                       QStringLiteral("Shareware"));
  ComboBox2 = newCombo(page, 2,
                       {QStringLiteral("MAJ majeure"), QStringLiteral("MAJ Mineure"),
                        QStringLiteral("Nouvelle release"), QStringLiteral("Major Update"),
                        QStringLiteral("Minor Update"), QStringLiteral("New Release"),
                        QStringLiteral("Beta"), QStringLiteral("Alpha"),
                        QStringLiteral("Media Only")},
                       QStringLiteral("Major Update"));
  Edit22 = newEdit(page, 22);
  ComboBox3 = newCombo(page, 3, {QStringLiteral("EUR")}, QStringLiteral("EUR"));
  Edit23 = newEdit(page, 23);
  ComboBox4 = newCombo(page, 4,
                       {QStringLiteral("Install et Unistall"), QStringLiteral("Install Seulement"),
                        QStringLiteral("Pas d'Install"), QStringLiteral("Uninstall Seulement"),
                        QStringLiteral("Install and Unistall"), QStringLiteral("Install Only"),
                        QStringLiteral("No Install Support"), QStringLiteral("Unistall Only")},
                       QStringLiteral("Install ans Uninstall"));
  Edit24 = newEdit(page, 24);
  Edit25 = newEdit(page, 25);
  auto* otherPrice = new QHBoxLayout;
  otherPrice->addWidget(ComboBox3);
  otherPrice->addWidget(Edit23);
  program->addRow(QStringLiteral("Date version"), dateRow(page, Edit19, Edit20, Edit21));
  program->addRow(QStringLiteral("Type"), ComboBox1);
  program->addRow(QStringLiteral("Type MAJ"), ComboBox2);
  program->addRow(QStringLiteral("Prix ($US)"), Edit22);
  program->addRow(QStringLiteral("Prix (Autre)"), otherPrice);
  program->addRow(QStringLiteral("Installation"), ComboBox4);
  program->addRow(QStringLiteral("Tourne sous"), Edit24);
  program->addRow(QStringLiteral("Langue"), Edit25);

  auto* archive = new QGroupBox(QStringLiteral("Infos archive"), page);
  addEditRows(new QFormLayout(archive), archive,
              {{"Fichier actuel", &Edit26, 26}, {"Fichier préc", &Edit27, 27},
               {"Fichier générr", &Edit28, 28}, {"Nom long", &Edit29, 29},
               {"Taille (by)", &Edit30, 30}, {"Taille (Kb)", &Edit31, 31},
               {"Taille (Mb)", &Edit32, 32}});

  auto* limits = new QGroupBox(QStringLiteral("Limitations"), page);
  auto* limitsForm = new QFormLayout(limits);
  CheckBox1 = new QCheckBox(QStringLiteral("A des Infos limites"), limits);
  CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
  Edit33 = newEdit(limits, 33);
  Edit34 = newEdit(limits, 34, 2);
  Edit35 = newEdit(limits, 35, 2);
  Edit36 = newEdit(limits, 36, 4);
  RadioGroup1 = new QGroupBox(QStringLiteral("Critère"), limits);
  RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
  Jours = new QRadioButton(QStringLiteral("Jours"), RadioGroup1);
  Utilisations = new QRadioButton(QStringLiteral("Utilisations"), RadioGroup1);
  Autre = new QRadioButton(QStringLiteral("Autre"), RadioGroup1);
  auto* criteria = new QHBoxLayout(RadioGroup1);
  for (QRadioButton* b : {Jours, Utilisations, Autre}) criteria->addWidget(b);
  Edit37 = newEdit(limits, 37);
  limitsForm->addRow(CheckBox1);
  limitsForm->addRow(QStringLiteral("Nbr jours/Utils"), Edit33);
  limitsForm->addRow(QStringLiteral("Date expiration"), dateRow(limits, Edit34, Edit35, Edit36));
  limitsForm->addRow(RadioGroup1);
  limitsForm->addRow(QStringLiteral("Autre limite"), Edit37);

  // One form with the program's rows, so that all the left column's fields line up.
  Edit38 = newEdit(page, 38);
  ComboBox5 = newCombo(page, 5,
                       {QStringLiteral("Audio"), QStringLiteral("Business"),
                        QStringLiteral("Developpement Tools"), QStringLiteral("Education"),
                        QStringLiteral("Games"), QStringLiteral("Graphics"),
                        QStringLiteral("Home/Hobby"), QStringLiteral("Internet"),
                        QStringLiteral("Miscellanous"), QStringLiteral("Screen Savers"),
                        QStringLiteral("Utilities")},
                       QString());
  Edit39 = newEdit(page, 39);
  Edit40 = newEdit(page, 40);
  program->addRow(QStringLiteral("Modification"), Edit38);
  program->addRow(QStringLiteral("Catégorie"), ComboBox5);
  program->addRow(QStringLiteral("Configuration"), Edit39);
  program->addRow(QStringLiteral("Cat. proposée"), Edit40);
  auto* includes = new QHBoxLayout;
  CheckBox2 = new QCheckBox(QStringLiteral("Java VM inclus"), page);
  CheckBox3 = new QCheckBox(QStringLiteral("VB Runtime inclus"), page);
  CheckBox4 = new QCheckBox(QStringLiteral("DirectX inclus"), page);
  int n = 2;
  for (QCheckBox* c : {CheckBox2, CheckBox3, CheckBox4}) {
    c->setObjectName(QStringLiteral("CheckBox%1").arg(n++));
    includes->addWidget(c);
  }

  auto* left = new QVBoxLayout;
  left->addLayout(program);
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(archive);
  right->addWidget(limits);
  right->addStretch();
  auto* layout = new QGridLayout(page);
  layout->addLayout(left, 0, 0);
  layout->addLayout(right, 0, 1);
  layout->addLayout(includes, 1, 0, 1, 2);
  return page;
}

QWidget* TPadgen::descriptionsTab() {
  auto* page = new QWidget;
  auto* languages = new QTabWidget(page);
  languages->setObjectName(QStringLiteral("PageControl2"));
  const auto language = [&](int first, QLineEdit*& keywords, QLineEdit*& desc45,
                            QLineEdit*& desc80, int firstMemo, QPlainTextEdit*& desc250,
                            QPlainTextEdit*& desc450, QPlainTextEdit*& desc2000) {
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    keywords = newEdit(tab, first, 45);
    desc45 = newEdit(tab, first + 1, 45);
    desc80 = newEdit(tab, first + 2, 80);
    desc250 = newMemo(tab, firstMemo, 3);
    desc450 = newMemo(tab, firstMemo + 1, 4);
    desc2000 = newMemo(tab, firstMemo + 2, 6);
    form->addRow(QStringLiteral("Mots-Clé"), keywords);
    form->addRow(QStringLiteral("Descr. 45 car"), desc45);
    form->addRow(QStringLiteral("Descr. 80 car"), desc80);
    form->addRow(QStringLiteral("Descr. 250 car"), desc250);
    form->addRow(QStringLiteral("Descr. 450 car"), desc450);
    form->addRow(QStringLiteral("Descr. 2000 car"), desc2000);
    return tab;
  };
  languages->addTab(language(41, Edit41, Edit42, Edit43, 1, Memo1, Memo2, Memo3),
                    QStringLiteral("Français"));
  languages->addTab(language(44, Edit44, Edit45, Edit46, 4, Memo4, Memo5, Memo6),
                    QStringLiteral("Anglais"));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(languages);
  return page;
}

QWidget* TPadgen::webTab() {
  auto* page = new QWidget;
  auto* general = new QGroupBox(QStringLiteral("Infos URL Générales"), page);
  addEditRows(new QFormLayout(general), general,
              {{"Infos Application", &Edit47, 47}, {"Infos Commande", &Edit48, 48},
               {"Screenshot", &Edit49, 49}, {"Icône", &Edit50, 50},
               {"Fichier PAD XML", &Edit51, 51}});
  auto* download = new QGroupBox(QStringLiteral("Infos URL Téléchargement"), page);
  addEditRows(new QFormLayout(download), download,
              {{"URL primaire", &Edit52, 52}, {"URL Secondaitre", &Edit53, 53},
               {"URL Additionnel 1", &Edit54, 54}, {"URL Additionnel 2", &Edit55, 55}});
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(general);
  layout->addWidget(download);
  layout->addStretch();
  return page;
}

QWidget* TPadgen::permissionsTab() {
  auto* page = new QWidget;
  auto* layout = new QGridLayout(page);
  const auto block = [&](int row, const QString& caption, QToolButton*& button, int buttonNumber,
                         QPlainTextEdit*& memo, int memoNumber) {
    layout->addWidget(new QLabel(caption, page), row, 0);
    button = new QToolButton(page);
    button->setObjectName(QStringLiteral("SpeedButton%1").arg(buttonNumber));
    button->setText(QStringLiteral("..."));
    layout->addWidget(button, row, 1, Qt::AlignRight);
    memo = newMemo(page, memoNumber);
    layout->addWidget(memo, row + 1, 0, 1, 2);
  };
  block(0, QStringLiteral("Autorisation de diffusion"), SpeedButton1, 1, Memo7, 7);
  block(2, QStringLiteral("Licence Utilisateur"), SpeedButton2, 2, Memo8, 8);
  return page;
}

QWidget* TPadgen::associationsTab() {
  auto* page = new QWidget;
  auto* layout = new QGridLayout(page);
  const auto association = [&](int row, const QPixmap& picture, const QString& caption) {
    auto* logoLabel = new QLabel(page);
    logoLabel->setPixmap(picture);
    auto* name = new QLabel(caption, page);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    layout->addWidget(logoLabel, row, 0);
    layout->addWidget(name, row, 1, 1, 3);
  };
  association(0, logo(QSize(81, 30), QStringLiteral("AFAS"), QColor(0, 51, 153)),
              QStringLiteral("Association Française des Auteurs de Sharewares"));
  association(1, logo(QSize(54, 19), QStringLiteral("RUSH"), QColor(153, 0, 0)),
              QStringLiteral("Regroupement des Utilisateurs de Sharewares"));
  const auto member = [&](int row, QCheckBox*& box, int boxNumber, const QString& caption,
                          QLineEdit*& number, int editNumber) {
    box = new QCheckBox(caption, page);
    box->setObjectName(QStringLiteral("CheckBox%1").arg(boxNumber));
    number = newEdit(page, editNumber);
    layout->addWidget(box, row, 0, 1, 2);
    layout->addWidget(new QLabel(QStringLiteral("Numéro adhérent"), page), row, 2);
    layout->addWidget(number, row, 3);
  };
  layout->setRowMinimumHeight(2, 12);
  member(3, CheckBox5, 5, QStringLiteral("Je suis membre AFAS"), Edit59, 59);
  member(4, CheckBox6, 6, QStringLiteral("Je suis membre RUSH"), Edit56, 56);
  member(5, CheckBox7, 7, QStringLiteral("Je suis membre ASP"), Edit57, 57);
  layout->setRowStretch(6, 1);
  layout->addLayout(cancelOkRow(page, Button1, Button2), 7, 0, 1, 4);
  return page;
}

void TPadgen::Button1Click() {
  Accepte = false;
  reject();
}

void TPadgen::Button2Click() {
  Accepte = true;
  accept();
}

void TPadgen::SpeedButton1Click() { loadText(Memo7); }
void TPadgen::SpeedButton2Click() { loadText(Memo8); }

void TPadgen::loadText(QPlainTextEdit* memo) {
  Prompts::FileRequest request;
  request.title = QStringLiteral("Ouvrir");
  request.filter = QStringLiteral("Fichiers Texte (*.txt)|*.txt|Tous les fichiers (*.*)|*.*");
  const QString path = Prompts::get().openFile(this, request);
  if (path.isEmpty()) return;
  const textfile::Loaded loaded = textfile::load(path);
  // A file that cannot be read leaves the text as it was.
  if (!loaded.ok) return;
  QString text = loaded.text;
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  memo->setPlainText(text);
}

QStringList TPadgen::memoLines(const QPlainTextEdit* memo) {
  QString text = memo->toPlainText();
  if (text.isEmpty()) return {};
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  return text.split(QLatin1Char('\n'));
}

wizards::PadSheet TPadgen::sheet() const {
  wizards::PadSheet s;
  const std::pair<const char*, const QLineEdit*> edits[] = {
      {"Company_Name", Edit1},          {"Address_1", Edit2},
      {"Address_2", Edit3},             {"Zip_Postal_Code", Edit4},
      {"City_Town", Edit5},             {"Country", Edit6},
      {"Company_WebSite_URL", Edit7},   {"Author_Last_Name", Edit8},
      {"Author_First_Name", Edit9},     {"Author_Email", Edit10},
      {"Sales_Email", Edit11},          {"Support_Email", Edit12},
      {"General_Email", Edit13},        {"Sales_Phone", Edit14},
      {"Support_Phone", Edit15},        {"General_Phone", Edit16},
      {"Program_Name", Edit17},         {"Program_Version", Edit18},
      {"Program_Release_Day", Edit19},  {"Program_Release_Month", Edit20},
      {"Program_Release_Year", Edit21}, {"Program_Cost_Dollars", Edit22},
      {"Program_Cost_Other", Edit23},   {"Program_OS_Support", Edit24},
      {"Program_Language", Edit25},     {"Filename_Versioned", Edit26},
      {"Filename_Previous", Edit27},    {"Filename_Generic", Edit28},
      {"Filename_Long", Edit29},        {"File_Size_Bytes", Edit30},
      {"File_Size_K", Edit31},          {"File_Size_MB", Edit32},
      {"Expire_Day", Edit34},           {"Expire_Month", Edit35},
      {"Expire_Year", Edit36},          {"Expire_Other_Info", Edit37},
      {"Program_Change_Info", Edit38},  {"Program_System_Requirements", Edit39},
      {"Program_Categories", Edit40},   {"Application_Info_URL", Edit47},
      {"Application_Order_URL", Edit48}, {"Application_Screenshot_URL", Edit49},
      {"Application_Icon_URL", Edit50}, {"Application_XML_File_URL", Edit51},
      {"Primary_Download_URL", Edit52}, {"Secondary_Download_URL", Edit53},
      {"Additional_Download_URL_1", Edit54}, {"Additional_Download_URL_2", Edit55},
      {"ASP_Member_Number", Edit57},    {"AFAS_Member_Number", Edit59},
      {"RUSH_Member_Number", Edit56}};
  for (const auto& [name, edit] : edits) s.values.insert(QLatin1String(name), edit->text());
  const std::pair<const char*, const QComboBox*> combos[] = {
      {"Program_Type", ComboBox1},            {"Program_Release_Status", ComboBox2},
      {"Program_Cost_Other_Code", ComboBox3}, {"Program_Install_Support", ComboBox4},
      {"Program_Specific_Category", ComboBox5}};
  for (const auto& [name, combo] : combos) s.values.insert(QLatin1String(name), combo->currentText());

  s.hasExpireInfo = CheckBox1->isChecked();
  for (const QRadioButton* b : {Jours, Utilisations, Autre})
    if (b->isChecked()) s.expireBasedOn = b->text();
  s.javaVm = CheckBox2->isChecked();
  s.vbRuntime = CheckBox3->isChecked();
  s.directX = CheckBox4->isChecked();
  s.french = {Edit41->text(), Edit42->text(), Edit43->text(),
              memoLines(Memo1), memoLines(Memo2), memoLines(Memo3)};
  s.english = {Edit44->text(), Edit45->text(), Edit46->text(),
               memoLines(Memo4), memoLines(Memo5), memoLines(Memo6)};
  s.distributionPermissions = memoLines(Memo7);
  s.eula = memoLines(Memo8);
  s.afasMember = CheckBox5->isChecked();
  s.rushMember = CheckBox6->isChecked();
  s.aspMember = CheckBox7->isChecked();
  return s;
}

void TPadgen::Result(QStringList& lines) const {
  if (Accepte) lines << wizards::padSheet(sheet());
}
