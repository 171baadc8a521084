// tevrinemu: the Tevrin emulator. With --headless it runs the machine without a window.

#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <filesystem>
#include <iostream>
#include <optional>

#include "app/DapRunner.h"
#include "app/HeadlessRunner.h"
#include "app/ProgramOptions.h"
#include "app/SignalCloser.h"
#include "frontend/ConfigOpening.h"
#include "frontend/InstanceMessages.h"
#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "host/desktop/CurrentExecutable.h"
#include "host/desktop/FileTypes.h"
#include "media/pictures/VideoDump.h"
#include "ui/common/ProgramIcons.h"
#include "ui/dap/DapWindow.h"
#include "ui/main/HandedOverFile.h"
#include "ui/main/QtKeyMap.h"
#include "ui/main/SingleInstance.h"
#include "ui/main/TFormMain.h"

namespace {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

int RunWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("tevrinemu");
    // No application display name: the platform would append it to every main window's title
    // ("Tevrin-Emulator — Tevrin Emulator" in German), and the titles come from the language.
    QGuiApplication::setDesktopFileName("tevrinemu");
    QApplication::setWindowIcon(icons::Icon(icons::kApplication));
    const QString platform = QGuiApplication::platformName();
    QtKeyMap::SetXkbKeyCodes(platform == "xcb" || platform.startsWith("wayland"));

    // Read again, now strictly: Qt has taken its own options (-platform, -display …) out.
    headless::ProgramLine line;
    if (const std::optional<int> ended =
            headless::ReadProgramLine(Arguments(argc, argv), line, std::cout, std::cerr)) {
        return *ended;
    }
    // Memory dumps at exit, as headless runs write them: how a script reads what the machine
    // showed in the window.
    const std::vector<headless::MemoryDump>& dumps = line.options.memoryDumps;
    std::optional<std::string> fileArgument;
    if (!line.file.empty()) fileArgument = line.file;
    // "--config x.xml" and "--config ./x.xml" are the same file, so the same instance.
    std::string configKey = line.config.path;
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
    const ConfigOpening opening = OpenConfiguration(line.config, document);
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
            std::string error;
            const std::string& vram = line.options.vramPath;
            if (!vram.empty() && !media::SaveVideoPlanes(memory, vram, &error)) {
                std::cerr << "tevrinemu: cannot write " << vram << ": " << error << "\n";
                status = headless::kExitConfig;
            }
        });
        form.SetRecordInputsPath(line.options.recordInputsPath);
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
    headless::ProgramLine line;
    if (const std::optional<int> ended = headless::ReadProgramLine(
            Arguments(argc, argv), line, std::cout, std::cerr, /*foreignOptions=*/true)) {
        return *ended;
    }
    switch (line.mode) {
        case headless::Mode::RegisterFileTypes:
        case headless::Mode::UnregisterFileTypes: {
            std::string report;
            const int status =
                desktop::RegisterFileTypesCommand(line.mode == headless::Mode::RegisterFileTypes,
                                                  desktop::CurrentExecutable(), report);
            (status == 0 ? std::cout : std::cerr) << report;
            return status;
        }
        case headless::Mode::Headless:
            return headless::Run(line.config, line.options, std::cout, std::cerr);
        case headless::Mode::Dap: return dap::RunAdapter(line.config, 0, 1, DapWindow::Make);
        case headless::Mode::Window: break;
    }
    return RunWindow(argc, argv);
}
