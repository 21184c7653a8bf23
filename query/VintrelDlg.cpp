#include "VintrelDlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ApplicationMessageBox.h"
#include "ComboList.h"
#include "DialogUnits.h"
#include "WideText.h"

#ifndef VINTREL_VERSION
#define VINTREL_VERSION "1.3"
#endif

namespace {

enum class ControlKind { Label, LineEdit, PushButton, DefaultPushButton, StatementEdit, DropDownList, GroupBox };

struct ControlTemplate {
  ControlKind kind;
  const char* objectName;
  const char* text;
  int x, y, width, height;
};

// The window's controls in tab order, positions in dialog units.
constexpr ControlTemplate kControls[] = {
    {ControlKind::Label, "static_Database", "&Database:", 7, 10, 38, 8},
    {ControlKind::LineEdit, "edit1000_Database", "", 48, 8, 201, 12},
    {ControlKind::PushButton, "button1001_Browse", "&Browse...", 255, 7, 50, 14},
    {ControlKind::StatementEdit, "edit1002_Sql", "", 14, 38, 291, 46},
    {ControlKind::DefaultPushButton, "button1003_Execute", "&Execute!", 255, 89, 50, 14},
    {ControlKind::PushButton, "button1004_Extract", "E&xtract", 255, 127, 50, 14},
    {ControlKind::PushButton, "button1006_StreamList", "--->", 14, 127, 20, 14},
    {ControlKind::DropDownList, "combo1007_Streams", "", 40, 128, 209, 117},
    {ControlKind::GroupBox, "group_StreamExtractor", "Stream Extractor", 7, 113, 305, 35},
    {ControlKind::GroupBox, "group_QueryBuilder", "Query Builder", 7, 27, 305, 83},
    {ControlKind::PushButton, "button1005_Delete", "&Delete", 255, 156, 50, 14},
    {ControlKind::PushButton, "button1008_DialogList", "--->", 14, 162, 20, 14},
    {ControlKind::DropDownList, "combo1009_Dialogs", "", 40, 163, 209, 117},
    {ControlKind::GroupBox, "group_DialogManager", "Dialog Manager", 7, 149, 305, 41},
    {ControlKind::PushButton, "button1010_CopyTo", "&Copy To...", 255, 172, 50, 14},
};

constexpr int kDialogWidthUnits = 319;
constexpr int kDialogHeightUnits = 197;
constexpr int kClosedListHeightUnits = 12;
constexpr int kTemplateFontPoints = 8;

}  // namespace

QString ApplicationName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

CVintrelDlg::CVintrelDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ownMessageBox(std::make_unique<ApplicationMessageBox>()),
      m_ownChooser(std::make_unique<FileDialogPackageChooser>()),
      m_ownOpener(std::make_unique<DesktopDocumentOpener>()) {
  m_messageBox = m_ownMessageBox.get();
  m_chooser = m_ownChooser.get();
  m_opener = m_ownOpener.get();

  Q_INIT_RESOURCE(vintrel);  // the images live in a static library
  m_hIcon.addFile(QStringLiteral(":/vintrel/vintrel-16.png"), QSize(16, 16));
  m_hIcon.addFile(QStringLiteral(":/vintrel/vintrel-32.png"), QSize(32, 32));
  m_hIcon.addFile(QStringLiteral(":/vintrel/vintrel-48.png"), QSize(48, 48));
  setWindowIcon(m_hIcon);
  setWindowTitle(QStringLiteral("Brimble Vintrel " VINTREL_VERSION));

  QFont templateFont = font();
  templateFont.setPointSize(kTemplateFontPoints);
  setFont(templateFont);

  CreateControls();
  ConnectButtons();
  setFixedSize(DialogUnitsFor(*this).ToPixels(kDialogWidthUnits, kDialogHeightUnits));
  m_editDatabase->setFocus();
}

CVintrelDlg::~CVintrelDlg() = default;

void CVintrelDlg::CreateControls() {
  const DialogUnits units = DialogUnitsFor(*this);
  QWidget* previousTabStop = nullptr;
  for (const ControlTemplate& control : kControls) {
    const QString text = QString::fromUtf8(control.text);
    QWidget* widget = nullptr;
    int height = control.height;
    switch (control.kind) {
      case ControlKind::Label:
        widget = new QLabel(text, this);
        break;
      case ControlKind::LineEdit:
        m_editDatabase = new QLineEdit(this);
        widget = m_editDatabase;
        break;
      case ControlKind::PushButton:
      case ControlKind::DefaultPushButton: {
        auto* button = new QPushButton(text, this);
        if (control.kind == ControlKind::DefaultPushButton) {
          button->setDefault(true);
          m_buttonExecute = button;
        }
        widget = button;
        break;
      }
      case ControlKind::StatementEdit:
        m_editSql = new QPlainTextEdit(this);
        m_editSql->setTabChangesFocus(true);
        m_editSql->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_editSql->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_editSql->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m_editSql->installEventFilter(this);
        widget = m_editSql;
        break;
      case ControlKind::DropDownList: {
        auto* list = new QComboBox(this);
        list->setEditable(false);
        FillWithEmptyItems(*list, kInitialEmptyItems);
        height = kClosedListHeightUnits;  // the template's height is the opened list's
        widget = list;
        break;
      }
      case ControlKind::GroupBox:
        widget = new QGroupBox(text, this);
        // The title sits on the frame line, so the frame takes the
        // template's whole rectangle.
        widget->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
        // Group boxes come after their controls in the tab order, so they
        // lie above them; let clicks through to the controls.
        widget->setAttribute(Qt::WA_TransparentForMouseEvents);
        break;
    }
    widget->setObjectName(QString::fromLatin1(control.objectName));
    widget->setGeometry(units.ToPixels(control.x, control.y, control.width, height));
    if (widget->focusPolicy() != Qt::NoFocus) {
      if (previousTabStop) setTabOrder(previousTabStop, widget);
      previousTabStop = widget;
    }
  }
  m_comboStreams = findChild<QComboBox*>(QStringLiteral("combo1007_Streams"));
  m_comboDialogs = findChild<QComboBox*>(QStringLiteral("combo1009_Dialogs"));
  findChild<QLabel*>(QStringLiteral("static_Database"))->setBuddy(m_editDatabase);
}

void CVintrelDlg::ConnectButtons() {
  const struct {
    const char* name;
    void (CVintrelDlg::*handler)();
  } routes[] = {
      {"button1003_Execute", &CVintrelDlg::OnExecute},
      {"button1001_Browse", &CVintrelDlg::OnBrowse},
      {"button1004_Extract", &CVintrelDlg::OnExtract},
      {"button1006_StreamList", &CVintrelDlg::OnStreamList},
      {"button1008_DialogList", &CVintrelDlg::OnDialogList},
      {"button1010_CopyTo", &CVintrelDlg::OnCopyTo},
      {"button1005_Delete", &CVintrelDlg::OnDelete},
  };
  for (const auto& route : routes) {
    auto* button = findChild<QPushButton*>(QString::fromLatin1(route.name));
    connect(button, &QPushButton::clicked, this, route.handler);
  }
}

void CVintrelDlg::SetMessageBox(IMessageBox* box) {
  m_messageBox = box ? box : m_ownMessageBox.get();
}

void CVintrelDlg::SetPackageChooser(IPackageChooser* chooser) {
  m_chooser = chooser ? chooser : m_ownChooser.get();
}

void CVintrelDlg::SetDocumentOpener(IDocumentOpener* opener) {
  m_opener = opener ? opener : m_ownOpener.get();
}

void CVintrelDlg::UpdateData(bool saveAndValidate) {
  if (saveAndValidate) {
    m_strDatabase = m_editDatabase->text();
    m_strSql = m_editSql->toPlainText();
  } else {
    m_editDatabase->setText(m_strDatabase);
    m_editSql->setPlainText(m_strSql);
  }
}

int CVintrelDlg::ShowMessage(const QString& text, MessageIcon icon) {
  return m_messageBox->Show(ToWide(ApplicationName()), ToWide(text), icon);
}

QString CVintrelDlg::ChoosePackage() {
  const ChooserResult result = m_chooser->Choose(this);
  if (!result.failure.isEmpty()) {
    ShowMessage(result.failure, MessageIcon::Error);
    return QString();
  }
  return result.path;
}

void CVintrelDlg::OnBrowse() {
  // Also when cancelled: the field then empties. The statement field gets
  // back the text of the last feature click, as both fields are written.
  m_strDatabase = ChoosePackage();
  UpdateData(false);
}

bool CVintrelDlg::eventFilter(QObject* watched, QEvent* event) {
  // The statement field is multi-line but leaves Return to the dialog, which
  // runs the default button.
  if (watched == m_editSql && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      m_buttonExecute->click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
