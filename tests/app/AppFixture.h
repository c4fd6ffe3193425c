#pragma once

#include "app/AppServices.h"
#include "app/MainWindow.h"
#include "app/SettingsStore.h"
#include "app/ShellOpener.h"
#include "capture/CaptureWindow.h"
#include "capture/DriverDialogs.h"
#include "capture/SystemDriverCatalog.h"
#include "capture/qt/QtCaptureWindowFactory.h"
#include "tests/app/QtTestSupport.h"
#include "tests/support/RecordingPrompt.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace brightowl::test {

// Stands in for the driver's own format and source dialogs: counts them, and the format dialog
// picks the mode it was told to, as a user would.
class ScriptedDriverDialogs : public DriverDialogs
{
public:
    void ShowFormatDialog(CaptureDriver& driver, void*) override
    {
        ++formatDialogs;
        if (modeToChoose)
            driver.SetMode(*modeToChoose);
    }
    void ShowSourceDialog(CaptureDriver&, void*) override { ++sourceDialogs; }

    std::optional<VideoMode> modeToChoose;
    int formatDialogs = 0;
    int sourceDialogs = 0;
};

// The program's Qt capture windows, with the moment of each creation noted and a failure on demand.
class NotingCaptureWindowFactory : public CaptureWindowFactory
{
public:
    NotingCaptureWindowFactory(CaptureWindowFactory& real, std::vector<std::string>& events)
        : real_(real), events_(events)
    {
    }

    std::unique_ptr<CaptureWindow> Create(const std::string& name, void* parentWindow, int32_t x, int32_t y,
                                          int32_t width, int32_t height) override
    {
        events_.push_back("capture window");
        if (fail)
            return nullptr;
        return real_.Create(name, parentWindow, x, y, width, height);
    }
    bool GetDriverDescription(uint32_t index, std::string& name, std::string& version) const override
    {
        return real_.GetDriverDescription(index, name, version);
    }

    bool fail = false;

private:
    CaptureWindowFactory& real_;
    std::vector<std::string>& events_;
};

// A fresh settings store and current directory per test, the real capture device with the
// built-in test pattern as driver 0, and stand-ins only for the message boxes, the desktop's file
// opener, the driver's dialogs and the socket layer's start.
class AppFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch_.isValid());
        savedConfig_ = qgetenv("XDG_CONFIG_HOME");
        savedDirectory_ = QDir::currentPath();
        qputenv("XDG_CONFIG_HOME", QDir(scratch_.path()).filePath("config").toLocal8Bit());
        ASSERT_TRUE(QDir::setCurrent(scratch_.path()));
    }

    void TearDown() override
    {
        qputenv("XDG_CONFIG_HOME", savedConfig_);
        QDir::setCurrent(savedDirectory_);
    }

    AppServices Services()
    {
        return AppServices{factory_, prompt_, shell_, [this] {
                               events_.push_back(std::filesystem::is_directory(KeyFolder())
                                                     ? "socket layer after settings"
                                                     : "socket layer before settings");
                               return socketsWork_;
                           }};
    }

    static std::filesystem::path KeyFolder() { return SettingsStore::DefaultKeyFolder(); }
    static void StoreSettings(const Settings& settings) { SettingsStore(KeyFolder()).SaveSettings(settings); }
    static Settings StoredSettings()
    {
        Settings settings;
        SettingsStore(KeyFolder()).LoadSettings(settings);
        return settings;
    }

    static QString PaneText(const QWidget& window, uint32_t id)
    {
        const auto* pane = window.findChild<QLabel*>(QStringLiteral("pane%1").arg(id));
        return pane != nullptr ? pane->text() : QStringLiteral("<no pane>");
    }

    static MainWindow* FindMainWindow()
    {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<MainWindow*>(widget))
                return window;
        return nullptr;
    }

    QTemporaryDir scratch_;
    QByteArray savedConfig_;
    QString savedDirectory_;

    std::vector<std::string> events_;
    bool socketsWork_ = true;
    RecordingPrompt prompt_;
    std::vector<QUrl> opened_;
    ShellOpener shell_{[this](const QUrl& url) {
        opened_.push_back(url);
        return true;
    }};
    SystemDriverCatalog catalog_; // the test pattern is driver 0, the only one
    ScriptedDriverDialogs driverDialogs_;
    QtCaptureWindowFactory qtWindows_{catalog_, driverDialogs_};
    NotingCaptureWindowFactory factory_{qtWindows_, events_};
    ModalAnswerer answerer_;
};

} // namespace brightowl::test
