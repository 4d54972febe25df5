#include "WindowDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "PathLookup.h"

namespace kvq {

namespace {

QString FromLocal(const std::string& name) {
  return QFile::decodeName(name.c_str());
}

// Prepares the dialog of a request. A proposed name with a directory part
// opens that directory (found case-insensitively, since the run upper-cases
// the names it shows) with the file name selected.
void PrepareFileDialog(QFileDialog& dialog, const FileDialogRequest& request,
                       const QString& objectName) {
  dialog.setObjectName(objectName);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setWindowTitle(FromLocal(request.title));
  dialog.setNameFilters(QtNameFilters(request.filter));
  std::string directory = request.initialDirectory;
  std::string fileName = request.fileName;
  if (HasDirectoryPart(fileName)) {
    std::string proposedDirectory = ResolvePath(DirectoryPart(fileName));
    if (PathExists(proposedDirectory)) directory = proposedDirectory;
    fileName = FileNamePart(fileName);
  }
  if (!directory.empty()) dialog.setDirectory(FromLocal(ResolvePath(directory)));
  if (!fileName.empty()) dialog.selectFile(FromLocal(fileName));
}

std::optional<QString> ChosenFile(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace

void ShowMessageBox(QWidget* parent, const QString& text) {
  QString shown = text;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kMessageBoxTitle), shown,
                  QMessageBox::Ok, parent);
  box.exec();
}

bool AskYesNoBox(QWidget* parent, const QString& question) {
  QString shown = question;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kMessageBoxTitle), shown,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QString AskText(QWidget* parent, const QString& caption, const QString& prompt,
                const QString& initial) {
  QInputDialog dialog(parent);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(caption);
  dialog.setLabelText(prompt);
  dialog.setTextValue(initial);
  if (dialog.exec() != QDialog::Accepted) return initial;
  return dialog.textValue();
}

std::optional<QString> AskOpenFileName(QWidget* parent, const FileDialogRequest& request,
                                       const QString& objectName) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  PrepareFileDialog(dialog, request, objectName);
  return ChosenFile(dialog);
}

std::optional<QString> AskSaveFileName(QWidget* parent, const FileDialogRequest& request,
                                       const QString& objectName) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // The front end asks before an existing file is replaced, with a warning
  // when it is no converter output: one question, not Qt's as well.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  PrepareFileDialog(dialog, request, objectName);
  return ChosenFile(dialog);
}

QStringList QtNameFilters(std::string_view filter) {
  QStringList parts = QString::fromLatin1(filter.data(), static_cast<qsizetype>(filter.size()))
                          .split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters;
}

}  // namespace kvq
