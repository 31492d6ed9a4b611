#pragma once
// A reference product in a scratch folder for the window tests, registered in the test's hive,
// with its own temporary and cache folders (set in this process's environment while it lives), and
// distributions built with quillon-dist from manifests written by the test.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quillon::guitest {

class ProductScratch {
public:
    // A product with the directions `directions` ("ER,GR").
    explicit ProductScratch(const QString& directions);
    ~ProductScratch();
    ProductScratch(const ProductScratch&) = delete;
    ProductScratch& operator=(const ProductScratch&) = delete;

    bool Ok() const { return ok_; }
    QString Path(const QString& relative) const { return dir_.filePath(relative); }

    // Writes `files` (name -> text) and the manifest beside each other and builds the
    // distribution into folder `name`; answers its path with a trailing '/', empty on failure.
    QString Build(const QString& manifest, const QMap<QString, QString>& files = {},
                  const QString& name = QStringLiteral("dist"));
    // The same from a manifest file; `setupInf`: the description files in one setup.inf.
    QString BuildFile(const QString& manifestPath, const QString& name, bool setupInf = false);

    // Runs kaldo-product or quillon-cli with this product; answers the exit code (-1 when it did
    // not run to its end) and standard output.
    int Product(const QStringList& arguments, QByteArray* output = nullptr) const;
    int Cli(const QStringList& arguments, QByteArray* output = nullptr) const;

    // The names of the collections the product holds per direction code ("ER" -> names).
    QMap<QString, QStringList> Collections() const;
    // Files left in the installer's work folders (the per-user work folder, the working copies).
    QStringList WorkFolderFiles() const;

    // Makes every dictionary import wait `ms` before each progress report.
    bool SetImportPause(int ms);

private:
    QTemporaryDir dir_;
    QByteArray savedTemp_, savedCache_;
    bool ok_ = false;
};

} // namespace quillon::guitest
