#include "ProductScratch.h"

#include "platform/Ports.h"
#include "platform/RegistryStore.h"
#include "product/KernelConnection.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace quillon::guitest {
namespace {

int RunTool(const QString& program, const QStringList& arguments, QByteArray* output) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitCode();
}

} // namespace

// The process's hive stays where the test main put it (the registry port holds its path); the
// scratch product is registered there afresh and the hive removed again at the end.
ProductScratch::ProductScratch(const QString& directions) {
    QFile::remove(qEnvironmentVariable("QUILLON_REGISTRY"));
    savedTemp_ = qgetenv("TMPDIR");
    savedCache_ = qgetenv("XDG_CACHE_HOME");
    if (!dir_.isValid())
        return;
    QDir(dir_.path()).mkpath("tmp");
    QDir(dir_.path()).mkpath("cache");
    qputenv("TMPDIR", Path("tmp").toUtf8());
    qputenv("XDG_CACHE_HOME", Path("cache").toUtf8());
    ReleaseKernelConnection();
    ok_ = Product({"init", Path("product"), "--directions", directions, "--library",
                   KALDO_REFPRODUCT_LIBRARY}) == 0;
}

ProductScratch::~ProductScratch() {
    ReleaseKernelConnection();
    QFile::remove(qEnvironmentVariable("QUILLON_REGISTRY"));
    qputenv("TMPDIR", savedTemp_);
    qputenv("XDG_CACHE_HOME", savedCache_);
}

QString ProductScratch::Build(const QString& manifest, const QMap<QString, QString>& files,
                              const QString& name) {
    const QString sources = Path(name + "-src");
    QDir(sources).mkpath(".");
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile file(sources + "/" + it.key());
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value().toUtf8()) < 0)
            return {};
    }
    QFile file(sources + "/dist.manifest");
    if (!file.open(QIODevice::WriteOnly) || file.write(manifest.toUtf8()) < 0)
        return {};
    file.close();
    return BuildFile(file.fileName(), name);
}

QString ProductScratch::BuildFile(const QString& manifestPath, const QString& name, bool setupInf) {
    QStringList arguments{"build", manifestPath, Path(name)};
    if (setupInf)
        arguments << "--setup-inf";
    if (RunTool(QUILLON_DIST_TOOL, arguments, nullptr) != 0)
        return {};
    return Path(name) + "/";
}

int ProductScratch::Product(const QStringList& arguments, QByteArray* output) const {
    return RunTool(KALDO_PRODUCT_TOOL, arguments, output);
}

int ProductScratch::Cli(const QStringList& arguments, QByteArray* output) const {
    return RunTool(QUILLON_CLI_TOOL, arguments, output);
}

QMap<QString, QStringList> ProductScratch::Collections() const {
    QByteArray json;
    QMap<QString, QStringList> collections;
    if (Product({"list", "--json"}, &json) != 0)
        return collections;
    for (const QJsonValue direction :
         QJsonDocument::fromJson(json).object()["directions"].toArray())
        for (const QJsonValue collection : direction["collections"].toArray())
            collections[direction["code"].toString()] << collection["name"].toString();
    return collections;
}

QStringList ProductScratch::WorkFolderFiles() const {
    QStringList files;
    for (const QString& folder : {Path("cache"), Path("tmp")}) {
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
    }
    return files;
}

bool ProductScratch::SetImportPause(int ms) {
    return CurrentPorts().registry->SetValue(
               RegistryRoot::LocalMachine, "SOFTWARE\\Velmar Soft\\KLDO9\\Reference",
               "ImportProgressPause", RegistryValue::Dword(static_cast<std::uint32_t>(ms))) == 0;
}

} // namespace quillon::guitest
