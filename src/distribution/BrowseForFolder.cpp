#include "distribution/BrowseForFolder.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace quillon {

QString BrowseStartFolder(const QString& path) {
    if (!path.isEmpty())
        return path;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

bool BrowseForFolder(QWidget* owner, const QString& title, QString& path) {
    if (!owner)
        return false;
    path = BrowseStartFolder(path);
    const QString chosen =
        QFileDialog::getExistingDirectory(owner, title, path, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return false;
    QString native = QDir::cleanPath(chosen);
    while (native.size() > 1 && native.endsWith('/'))
        native.chop(1);
    path = native;
    return true;
}

} // namespace quillon
