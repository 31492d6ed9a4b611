#pragma once
// BrowseForFolder: the folder browser of the path page. Only folders of the file system can be
// chosen (QFileDialog::getExistingDirectory, directories only).
#include <QString>

class QWidget;

namespace quillon {

// Where the browser opens: `path`, or the user's documents folder when `path` is empty.
QString BrowseStartFolder(const QString& path);

// Opens the browser with `title` at BrowseStartFolder(path). True when the user chose a folder:
// `path` then holds it, without a trailing separator. False without an owner window or when the
// user cancelled; `path` then keeps the start folder (the documents folder when it was empty).
bool BrowseForFolder(QWidget* owner, const QString& title, QString& path);

} // namespace quillon
