#pragma once
// What the window tests share: a recorder in place of the message boxes and
// file dialogs, and a fixture with the application object and a window whose
// executable directory is a fresh folder of the test.

#include "ibclient/Errors.h"
#include "window/BackupRestore.h"
#include "window/Dialogs.h"
#include "window/ErrorReport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "RecordingDialogs.h"
#include "TestServer.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
    {
        dialogs.unexpected = [] { ADD_FAILURE() << "an open-file dialog that the test did not expect"; };
    }

    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "window_tests";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);
        QApplication::setApplicationDisplayName(ApplicationTitle);
    }
    static void TearDownTestSuite() { application.reset(); }

    // A window whose executable directory is folder (the test's own by default).
    std::unique_ptr<TfrmPrincipal> MakeWindow(const QString& folder = QString())
    {
        auto window = std::make_unique<TfrmPrincipal>();
        window->SetProgramDirectory(folder.isEmpty() ? Folder() : folder);
        return window;
    }

    // The test's own folder, empty at the start of the test, ending in "/".
    QString Folder()
    {
        if (folder.isEmpty()) {
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            folder = testserver::NewFolder(
                QString::fromLatin1(info->test_suite_name()) + QLatin1Char('_') + QString::fromLatin1(info->name()));
        }
        return folder;
    }

    static void Touch(const QString& path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }
    static void WriteFile(const QString& path, const QByteArray& contents)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(contents);
    }

    template <class Control> static Control* Find(QWidget& window, const char* name)
    {
        auto* control = window.findChild<Control*>(QLatin1String(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    TRecordingDialogs dialogs;
    TDialogsOverride dialogsOverride{dialogs};

private:
    static inline std::unique_ptr<QApplication> application;
    QString folder;
};
