// quillon-screenshots: renders the main window and each page offscreen into PNG files, for the
// documentation. Usage: quillon-screenshots OUTPUT_FOLDER [DIST]
// With DIST (a distribution, the product registered in $QUILLON_REGISTRY) it also installs its
// collection 1 for real, photographing the collection, profile, progress and removal pages with
// their real content. The texts are those of the product's interface language, as in quillon.
#include "descriptions/DictCollectionLoader.h"
#include "distribution/KaldoPathDlg.h"
#include "distribution/KldoInifileManager.h"
#include "install/ProgressPage.h"
#include "model/DictInfo.h"
#include "model/VdxTopicInfo.h"
#include "platform/Ports.h"
#include "platform/posix/QmCatalogue.h"
#include "platform/RegistryStore.h"
#include "platform/posix/PosixPorts.h"
#include "product/KernelConnection.h"
#include "removal/RemovalPage.h"
#include "selection/CollectionPage.h"
#include "selection/ProfilesPage.h"
#include "shell/AddRemoveDlg.h"
#include "shell/ConfirmDlg.h"
#include "shell/MainFrame.h"
#include "shell/QtMessagePort.h"
#include "shell/WelcomeDlg.h"
#include "support/Strings.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTimer>
#include <QPainter>
#include <QPixmap>
#include <cstdio>

namespace {

bool Save(QWidget& widget, const QDir& folder, const char* name) {
    widget.show();
    QApplication::processEvents();
    const QString file = folder.filePath(QString::fromLatin1(name));
    if (!widget.grab().save(file, "PNG")) {
        std::fprintf(stderr, "quillon-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    widget.hide();
    return true;
}

// The main window with a page centred on it, as the user sees the wizard.
bool SaveComposite(quillon::CMainFrame& frame, QWidget& page, const QDir& folder,
                   const char* name) {
    page.show();
    QApplication::processEvents();
    QPixmap shot = frame.grab();
    QPainter painter(&shot);
    const QPixmap pagePixmap = page.grab();
    painter.drawPixmap((shot.width() - pagePixmap.width()) / 2,
                       (shot.height() - pagePixmap.height()) / 2, pagePixmap);
    painter.end();
    page.hide();
    const QString file = folder.filePath(QString::fromLatin1(name));
    if (!shot.save(file, "PNG")) {
        std::fprintf(stderr, "quillon-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// Writes what `widget` shows now, leaving it as it is.
bool Grab(QWidget& widget, const QDir& folder, const char* name) {
    const QString file = folder.filePath(QString::fromLatin1(name));
    if (!widget.grab().save(file, "PNG")) {
        std::fprintf(stderr, "quillon-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// The reference product's planned fault: `operation` answers `status` on its next call.
bool PlanFault(const char* operation, const char* status) {
    return quillon::CurrentPorts().registry->SetValue(quillon::RegistryRoot::LocalMachine,
                                                      "SOFTWARE\\Velmar Soft\\KLDO9\\Reference\\Faults", operation,
                                                      quillon::RegistryValue::String(status)) == 0;
}

bool SetImportPause(std::uint32_t ms) {
    return quillon::CurrentPorts().registry->SetValue(quillon::RegistryRoot::LocalMachine,
                                                      "SOFTWARE\\Velmar Soft\\KLDO9\\Reference",
                                                      "ImportProgressPause", quillon::RegistryValue::Dword(ms)) == 0;
}

// The pages after the source search, with the distribution `dist` and the registered product.
bool SaveInstallationPages(quillon::CMainFrame& frame, const QDir& folder, const std::string& dist) {
    using namespace quillon;
    if (!EnsureKernelConnection()) {
        std::fprintf(stderr, "quillon-screenshots: no product is registered\n");
        return false;
    }
    CKldoInifileManager copies;
    if (!copies.Prepare(dist)) {
        std::fprintf(stderr, "quillon-screenshots: %s holds no distribution\n", dist.c_str());
        return false;
    }
    bool ok = true;
    CollectionPage collections(&frame, copies.GetSourceFolder(), copies.GetSetupIniPath(),
                               copies.GetMainDescriptionPath());
    QMetaObject::invokeMethod(
        &collections,
        [&] {
            auto* list = collections.findChild<QListWidget*>("ctl1052");
            list->setCurrentRow(0);
            ok = Grab(collections, folder, "collection-page.png") && ok;
            collections.done(2);
        },
        Qt::QueuedConnection);
    collections.Run();

    auto load = [&](const char* id = "1") {
        CSmartPtr<CDictCollection> collection(new CDictCollection);
        CDictCollectionLoader loader(copies.GetSetupIniPath(), copies.GetMainDescriptionPath(), copies.GetSourceFolder());
        loader.ReadCollection(id, *collection);
        return collection;
    };

    // The profile page stays open only when the disk looks too small: a collection whose first
    // dictionary would not fit, and No to message 2003 (the unattended answer).
    CSmartPtr<CDictCollection> large = load();
    if (!large->GetProfiles().empty() && !large->GetProfiles()[0]->Dictionaries().empty())
        large->GetProfiles()[0]->Dictionaries()[0]->SetSize(std::int64_t(1) << 50);
    ProfilesPage profiles(&frame, large);
    QMetaObject::invokeMethod(
        &profiles,
        [&] {
            ok = Grab(profiles, folder, "profiles-page.png") && ok;
            profiles.done(2);
        },
        Qt::QueuedConnection);
    profiles.Run();

    // A real installation of collection 1, slowed down so that it is photographed mid-way.
    SetImportPause(400);
    ProgressPage progress(&frame, load(), copies.GetSourceFolder());
    progress.SetReplaceMode(1);
    QTimer::singleShot(1500, &progress, [&] { ok = Grab(progress, folder, "progress-page.png") && ok; });
    progress.Run();
    SetImportPause(0);

    // Collection 2, whose first dictionary the kernel fails to import: its profile is left, and
    // the summary stands in place of question 2016.
    PlanFault("ImportDictionary", "0x80004005 1");
    ProgressPage failing(&frame, load("2"), copies.GetSourceFolder());
    failing.SetReplaceMode(1);
    QMetaObject::invokeMethod(&failing, [] {}, Qt::QueuedConnection);
    failing.Run();
    const InstallationSummary summary = failing.Engine().Summary();
    MessageBoxRequest request;
    request.id = SummaryMessageId(summary);
    request.text = SummaryText(summary) + "\n\n" + AnotherCollectionQuestion();
    request.caption = LoadString(57344);
    request.icon = MessageIcon::Warning;
    request.buttons = MessageButtons::YesNo;
    auto box = QtMessagePort::BuildBox(request, &frame);
    ok = !summary.Complete() && Save(*box, folder, "message-summary.png") && ok;

    RemovalPage removal(&frame);
    QMetaObject::invokeMethod(
        &removal,
        [&] {
            auto* list = removal.findChild<QListWidget*>("ctl1039");
            if (list->count() > 0)
                list->item(0)->setSelected(true);
            ok = Grab(removal, folder, "removal-page.png") && ok;
            removal.done(2);
        },
        Qt::QueuedConnection);
    removal.Run();
    ReleaseKernelConnection();
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    using namespace quillon;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2 && arguments.size() != 3) {
        std::fprintf(stderr, "usage: quillon-screenshots OUTPUT_FOLDER [DIST]\n");
        return 2;
    }
    posix::InstallPosixPorts();
    // The product's interface language, as quillon chooses it.
    QmCatalogue catalogue;
    InstallInterfaceCatalogue(catalogue, "quillon");
    std::string answersError;
    qputenv("QUILLON_AUTO_ANSWER", "default");
    QtMessagePort messages(AutoAnswers::FromEnvironment(answersError));
    CurrentPorts().messages = &messages;
    QDir folder(arguments[1]);
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "quillon-screenshots: cannot create %s\n", qPrintable(arguments[1]));
        return 1;
    }

    CMainFrame frame;
    frame.setGeometry(0, 0, 1024, 768);
    bool ok = Save(frame, folder, "main-window.png");
    frame.show();

    CWelcomeDlg welcome(&frame, [] { return true; });
    CAddRemoveDlg action(&frame);
    CConfirmDlg confirm(&frame);
    CKaldoPathDlg path(QStringLiteral("setup.inf"), 3, &frame, true);
    path.path = QStringLiteral("/media/cdrom/DICTS");
    MessageBoxRequest question;
    question.id = 2016;
    question.text = LoadString(2016);
    question.caption = LoadString(57344);
    question.buttons = MessageButtons::YesNo;
    auto box = QtMessagePort::BuildBox(question, &frame);

    // Each page as it opens: what OnInitDialog puts in is there once the page runs.
    auto whileRunning = [&](QDialog& page, const char* name) {
        QMetaObject::invokeMethod(
            &page,
            [&page, &folder, &ok, name] {
                ok = Save(page, folder, name) && ok;
                page.done(2);
            },
            Qt::QueuedConnection);
    };
    whileRunning(welcome, "welcome-page.png");
    welcome.Run();
    whileRunning(action, "action-page.png");
    action.Run();
    whileRunning(confirm, "cancel-confirmation.png");
    confirm.exec();
    whileRunning(path, "path-page.png");
    path.Run();
    ok = Save(*box, folder, "message-2016.png") && ok;
    QMetaObject::invokeMethod(
        &action,
        [&] {
            ok = SaveComposite(frame, action, folder, "wizard.png") && ok;
            action.done(2);
        },
        Qt::QueuedConnection);
    action.Run();
    if (arguments.size() == 3)
        ok = SaveInstallationPages(frame, folder, arguments[2].toStdString()) && ok;
    return ok ? 0 : 1;
}
