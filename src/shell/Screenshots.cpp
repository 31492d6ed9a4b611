// quillon-screenshots: renders the main window and each page offscreen into PNG files, for the
// documentation. Usage: quillon-screenshots OUTPUT_FOLDER
#include "distribution/KaldoPathDlg.h"
#include "shell/AddRemoveDlg.h"
#include "shell/ConfirmDlg.h"
#include "shell/MainFrame.h"
#include "shell/QtMessagePort.h"
#include "shell/WelcomeDlg.h"
#include "support/Strings.h"

#include <QApplication>
#include <QDir>
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

} // namespace

int main(int argc, char** argv) {
    using namespace quillon;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: quillon-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
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
    return ok ? 0 : 1;
}
