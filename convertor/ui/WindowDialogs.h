// The modal dialogs of the converter's window: the message box with one OK
// button, the one-line input dialog, and the file dialogs that stand for
// OpenDialog1 and SaveDialog1. They are Qt's own dialogs (never the
// platform's native ones), so tests find them as the active modal widget.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string_view>

#include "UserInterface.h"

class QWidget;

namespace kvq {

inline constexpr const char* kMessageBoxTitle = "Convertor";

void ShowMessageBox(QWidget* parent, const QString& text);

// Yes and No, No the default (Esc answers No).
bool AskYesNoBox(QWidget* parent, const QString& question);

// Cancel returns the initial text, so the value stays as it was.
QString AskText(QWidget* parent, const QString& caption, const QString& prompt,
                const QString& initial);

// objectName names the dialog as the window's component ("OpenDialog1").
std::optional<QString> AskOpenFileName(QWidget* parent, const FileDialogRequest& request,
                                       const QString& objectName);
std::optional<QString> AskSaveFileName(QWidget* parent, const FileDialogRequest& request,
                                       const QString& objectName);

// "Description|*.a;*.b|..." as Qt's name filters ("Description (*.a *.b)").
QStringList QtNameFilters(std::string_view filter);

}  // namespace kvq
