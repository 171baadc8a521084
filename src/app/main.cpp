// tevrinemu: the Tevrin emulator. With --headless it runs the machine without a window.

#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

#include "app/HeadlessRunner.h"
#include "app/SignalCloser.h"
#include "frontend/CommandLine.h"
#include "frontend/ConfigOpening.h"
#include "frontend/InstanceMessages.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "host/desktop/CurrentExecutable.h"
#include "host/desktop/FileTypes.h"
#include "ui/common/ProgramIcons.h"
#include "ui/main/HandedOverFile.h"
#include "ui/main/QtKeyMap.h"
#include "ui/main/SingleInstance.h"
#include "ui/main/TFormMain.h"

namespace {

int RunWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("tevrinemu");
    // No application display name: the platform would append it to every main window's title
    // ("Tevrin-Emulator — Tevrin Emulator" in German), and the titles come from the language.
    QGuiApplication::setDesktopFileName("tevrinemu");
    QApplication::setWindowIcon(icons::Icon(icons::kApplication));
    const QString platform = QGuiApplication::platformName();
    QtKeyMap::SetXkbKeyCodes(platform == "xcb" || platform.startsWith("wayland"));

    // Read again: Qt has taken its own options (-platform, -display …) out of argv by now.
    const CommandLine commandLine = CommandLine::Parse(argc, argv);
    // Memory dumps at exit, as headless runs write them: how a script reads what the machine
    // showed in the window.
    std::vector<headless::MemoryDump> dumps;
    // The first other argument is a file to open once the machine runs.
    QString startFile;
    for (size_t i = 0; i < commandLine.arguments.size(); ++i) {
        if (commandLine.arguments[i] != "--dump-mem") {
            if (startFile.isEmpty()) {
                std::error_code ec;
                const auto absolute = std::filesystem::absolute(commandLine.arguments[i], ec);
                startFile = QString::fromStdString(ec ? commandLine.arguments[i]
                                                      : absolute.lexically_normal().string());
            }
            continue;
        }
        headless::MemoryDump dump;
        if (i + 1 >= commandLine.arguments.size() ||
            !headless::ParseMemoryDump(commandLine.arguments[++i], dump)) {
            std::cerr << "tevrinemu: --dump-mem needs ADDR:LEN:PATH\n" << headless::HelpText();
            return headless::kExitUsage;
        }
        dumps.push_back(dump);
    }
    std::optional<std::string> fileArgument;
    if (!startFile.isEmpty()) fileArgument = startFile.toStdString();
    // "--config x.xml" and "--config ./x.xml" are the same file, so the same instance.
    std::string configKey = commandLine.configPath;
    if (!configKey.empty()) {
        std::error_code ec;
        const std::filesystem::path canonical = std::filesystem::weakly_canonical(configKey, ec);
        if (!ec) configKey = canonical.string();
    }
    SingleInstance single(
        instance::ServerName(desktop::CurrentExecutable(), configKey, ::getuid()));
    if (single.HandOver(fileArgument)) return 0;
    single.Listen();

    config::ConfigDocument document;
    const ConfigOpening opening = OpenConfiguration(commandLine, document);
    if (!opening.usable) {
        ShuttingDown = true;
        std::cerr << "tevrinemu: " << opening.text << " " << opening.detail << "\n";
        QMessageBox box(QMessageBox::Critical, QString::fromStdString(opening.title),
                        QString::fromStdString(opening.text), QMessageBox::Ok);
        box.setInformativeText(QString::fromStdString(opening.detail));
        SignalCloser closer(box);
        box.exec();
        return headless::kExitConfig;
    }
    config::Settings settings(document);
    int status = 0;
    {
        TFormMain form(settings);
        form.SetBeforeTeardown([&](const ChipMemory& memory) {
            for (const headless::MemoryDump& dump : dumps) {
                if (!headless::WriteMemoryDump(memory, dump, std::cerr))
                    status = headless::kExitConfig;
            }
        });
        SignalCloser closer(form);
        QObject::connect(&single, &SingleInstance::Requested, &form, [&form](const QString& path) {
            BringToFront(form);
            OpenHandedOverFile(form, path.toStdString());
        });
        form.show();
        if (fileArgument) {
            QTimer::singleShot(0, &form, [&] { OpenHandedOverFile(form, *fileArgument); });
        }
        const int appStatus = app.exec();
        if (status == 0) status = appStatus;
    }
    document.Close();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::cout << headless::HelpText();
            return 0;
        }
    }
    CommandLine commandLine = CommandLine::Parse(argc, argv);
    if (!commandLine.Ok()) {
        std::cerr << "tevrinemu: " << commandLine.error << "\n" << headless::HelpText();
        return headless::kExitUsage;
    }
    for (const std::string& arg : commandLine.arguments) {
        if (arg != "--register-file-types" && arg != "--unregister-file-types") continue;
        std::string report;
        const int status = desktop::RegisterFileTypesCommand(arg == "--register-file-types",
                                                             desktop::CurrentExecutable(), report);
        (status == 0 ? std::cout : std::cerr) << report;
        return status;
    }
    bool isHeadless = false;
    for (const std::string& arg : commandLine.arguments) isHeadless |= arg == "--headless";
    if (isHeadless) return headless::Run(commandLine, std::cout, std::cerr);
    return RunWindow(argc, argv);
}
