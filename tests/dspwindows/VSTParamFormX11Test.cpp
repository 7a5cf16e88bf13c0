// The plug-in's editor on a real X server: a stand-in plug-in draws through an
// X connection of its own, as plug-ins do, creating its window inside the id
// it is given; the window must really sit inside ours, follow resize
// requests, and be gone once the entry's window is freed.
//
// Starts its own Xvfb on a free display; exits 77 (skipped) when it cannot.

#include "VSTParamTestSupport.h"
#include "core/MessageBox.h"
#include "dsp/DSPItems.h"
#include "dspwindows/VSTParamForm.h"
#include "vst/VstHost.h"

#include <QApplication>
#include <QPointer>
#include <QtTest>
#include <X11/Xlib.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

extern char **environ;

namespace {

// A virtual X server of this test's own, on the display number it picks.
class TXvfb {
public:
    TXvfb() = default;
    TXvfb(const TXvfb &) = delete;
    TXvfb &operator=(const TXvfb &) = delete;
    ~TXvfb() {
        if (FPid <= 0)
            return;
        kill(FPid, SIGTERM);
        waitpid(FPid, nullptr, 0);
    }

    // Starts the server; its display name (":N"), empty when it did not come up.
    std::string Start() {
        int fds[2];
        if (pipe(fds) != 0)
            return {};
        const std::string fd = std::to_string(fds[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args{"Xvfb", "-displayfd", fd,  "-nolisten",
                                      "tcp",  "-screen",    "0", "1280x1024x24"};
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawnp(&FPid, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0) {
            FPid = 0;
            close(fds[0]);
            return {};
        }
        // The server writes its display number once it accepts connections;
        // the pipe closes without one when it fails.
        std::string number;
        char c = 0;
        while (true) {
            const ssize_t got = read(fds[0], &c, 1);
            if (got < 0 && errno == EINTR)
                continue;
            if (got != 1 || c == '\n')
                break;
            number += c;
        }
        close(fds[0]);
        if (number.empty())
            return {};
        return ":" + number;
    }

private:
    pid_t FPid = 0;
};

// X errors land here instead of ending the process.
int XErrors = 0;
int CountXError(Display *, XErrorEvent *) {
    ++XErrors;
    return 0;
}

// The windows from AWindow's parent up to the root, as the server sees them.
std::vector<Window> Ancestors(Display *ADisplay, Window AWindow) {
    std::vector<Window> ancestors;
    Window current = AWindow;
    while (true) {
        Window root = 0;
        Window parent = 0;
        Window *children = nullptr;
        unsigned count = 0;
        if (XQueryTree(ADisplay, current, &root, &parent, &children, &count) == 0)
            break;
        if (children != nullptr)
            XFree(children);
        if (parent == 0)
            break;
        ancestors.push_back(parent);
        if (parent == root)
            break;
        current = parent;
    }
    return ancestors;
}

bool Contains(const std::vector<Window> &AWindows, WId AWindow) {
    return std::find(AWindows.begin(), AWindows.end(), Window(AWindow)) != AWindows.end();
}

} // namespace

class TVSTParamFormX11Test : public QObject {
    Q_OBJECT

private:
    TVSTScriptedHost Host;
    TPluginHost *FPreviousHost = nullptr;
    TDSPItemsC Chain;
    // The stand-in plug-in's own connection and its editor window.
    Display *FPlugin = nullptr;
    Window FEditor = 0;

    TDSPItemC &AddVSTEntry(quint32 AVstHandle) {
        TDSPItemC &item = Chain.Add();
        item.T = dspPlugin;
        item.PluginType = ptVST;
        item.DispName = u"Scripted"_s;
        item.State = psActive;
        item.H = AVstHandle;
        return item;
    }

private Q_SLOTS:
    void initTestCase() {
        XSetErrorHandler(CountXError);
        FPlugin = XOpenDisplay(nullptr);
        QVERIFY(FPlugin != nullptr);
        FPreviousHost = SetPluginHost(&Host);
        InstallVSTParamWindows();
        SetMessageBoxPresenter([](const QString &, const QString &, int) { return 1; });
        TScriptedEffect &effect = Host.AddEffect(7);
        effect.EditorWidth = 300;
        effect.EditorHeight = 200;
        Host.OnOpenEditor = [this](quint32, quintptr AParent) {
            FEditor = XCreateSimpleWindow(FPlugin, Window(AParent), 0, 0, 300, 200, 0, 0, 0);
            XMapWindow(FPlugin, FEditor);
            XSync(FPlugin, False);
            return true;
        };
        Host.OnCloseEditor = [this](quint32) {
            XDestroyWindow(FPlugin, FEditor);
            XSync(FPlugin, False);
        };
    }
    void cleanupTestCase() {
        FreeVSTParamWindows();
        SetMessageBoxPresenter(nullptr);
        SetPluginHost(FPreviousHost);
        if (FPlugin != nullptr)
            XCloseDisplay(FPlugin);
    }

    void thePluginWindowSitsInsideOurs() {
        XErrors = 0;
        TDSPItemC &item = AddVSTEntry(7);
        ConfigureVSTEntry(item, false, nullptr);
        const QPointer<TFrmVSTParam> window = VSTParamWindow(item);
        QVERIFY(window != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // Our window existed on the server when the plug-in was given its id.
        QCOMPARE(XErrors, 0);
        QVERIFY(FEditor != 0);

        const std::vector<Window> ancestors = Ancestors(FPlugin, FEditor);
        QVERIFY(Contains(ancestors, window->EditorHost()->winId()));
        QVERIFY(Contains(ancestors, window->winId()));
        QCOMPARE(window->size(), QSize(300, 200));

        // A resize request reaches the X server.
        Host.Resize(7, 420, 260);
        QCOMPARE(window->size(), QSize(420, 260));
        XWindowAttributes attributes;
        QTRY_VERIFY(XGetWindowAttributes(FPlugin, Window(window->EditorHost()->winId()),
                                         &attributes) != 0 &&
                    attributes.width == 420 && attributes.height == 260);

        // The entry stops: the editor closes first, then our windows go.
        const Window editorHost = Window(window->EditorHost()->winId());
        PluginHost().FreeVSTWindow(item);
        QVERIFY(window == nullptr);
        QCOMPARE(Host.Log.last(), u"EmbedEditor 7 0"_s);
        QCOMPARE(XErrors, 0);
        XSync(FPlugin, False);
        QTRY_VERIFY(XGetWindowAttributes(FPlugin, editorHost, &attributes) == 0);
    }

    // The same through our real host and a real plug-in library: its editor
    // opens its own X connection, names its window, and asks to grow.
    void aRealPluginsEditorSitsInsideOurs() {
        TVstHost real(u"/bin/true"_s);
        SetPluginHost(&real);
        InstallVSTParamWindows();
        const auto restore = qScopeGuard([this] {
            SetPluginHost(&Host);
            InstallVSTParamWindows();
        });
        TDSPItemC &item = Chain.Add();
        item.T = dspPlugin;
        item.PluginType = ptVST;
        item.PluginPath = QStringLiteral(VOCARRA_TEST_PLUGINS "/test-editor.so");
        item.State = psActive;
        item.H = real.BASS_VST_ChannelSetDSP(0, item.PluginPath, BASS_VST_UNICODE, 1);
        QVERIFY(item.H != 0);

        ConfigureVSTEntry(item, false, nullptr);
        const QPointer<TFrmVSTParam> window = VSTParamWindow(item);
        QVERIFY(window != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // The plug-in asked for 400 x 300 while its editor opened.
        QTRY_COMPARE(window->size(), QSize(400, 300));

        const auto editorWindow = [this, &window]() -> Window {
            Window root = 0;
            Window parent = 0;
            Window *children = nullptr;
            unsigned count = 0;
            Window found = 0;
            if (XQueryTree(FPlugin, Window(window->EditorHost()->winId()), &root, &parent,
                           &children, &count) == 0)
                return 0;
            for (unsigned i = 0; i < count && found == 0; ++i) {
                char *name = nullptr;
                if (XFetchName(FPlugin, children[i], &name) != 0 && name != nullptr) {
                    if (std::string(name) == "vocarra-test-editor")
                        found = children[i];
                    XFree(name);
                }
            }
            if (children != nullptr)
                XFree(children);
            return found;
        };
        QTRY_VERIFY(editorWindow() != 0);
        QVERIFY(Contains(Ancestors(FPlugin, editorWindow()), window->winId()));

        // Stopping the entry: the host removes the effect, the window goes
        // with the plug-in's editor.
        real.BASS_VST_ChannelRemoveDSP(0, item.H);
        PluginHost().FreeVSTWindow(item);
        QVERIFY(window == nullptr);
    }
};

// Under the leak checker: the X11 platform's D-Bus connection keeps a buffer
// for the whole process, which the checker counts as lost.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libdbus-1.so\n";
}

int main(int argc, char **argv) {
    TXvfb server;
    const std::string display = server.Start();
    if (display.empty()) {
        std::puts("SKIPPED: Xvfb could not be started (tools/install-deps.sh installs xvfb)");
        return 77;
    }
    qputenv("DISPLAY", QByteArray::fromStdString(display));
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TVSTParamFormX11Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "VSTParamFormX11Test.moc"
