#pragma once

#include <gtest/gtest.h>

#include <string>

#include "host/config/ConfigDocument.h"
#include "host/config/Settings.h"
#include "host/files/ProgramPaths.h"
#include "host/lang/Language.h"
#include "support/TempFolder.h"
#include "ui/support/DeliveredFiles.h"

// The set-up every window test shares: a program folder of the test's own, filled as an
// installation has it (the language files, the delivered configuration, loaded), is the program
// folder while the test runs. Afterwards the folder before it is back and no language is active,
// so one test's language or paths cannot reach the next. A fixture deriving from this one calls
// its SetUp first and its TearDown last.
class ProgramFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousFolder_ = program::ProgramFolder();
        program::SetProgramFolder(folder_.Path());
        configPath_ = testing_support::WriteDeliveredFiles(folder_);
        ASSERT_EQ(document_.Load(configPath_), config::ConfigLoadResult::Usable);
    }
    void TearDown() override {
        document_.Close();
        lang::ActiveLanguage().Unload();
        program::SetProgramFolder(previousFolder_);
    }

    testing_support::TempFolder folder_;
    std::string configPath_;
    config::ConfigDocument document_;
    config::Settings settings_{document_};

  private:
    std::string previousFolder_;
};
