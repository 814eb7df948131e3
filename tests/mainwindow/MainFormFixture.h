#pragma once

#include "mainwindow/TMainForm.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

// A main window over a temporary program folder that borrows the shipped pictures, with the file
// dialogs and the shell in test mode and the desktop folders redirected into the temporary folder.
class MainFormFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    QString programFolder() const;
    // How long the window waits for a drive's answer.
    virtual std::chrono::milliseconds driveAnswerBound() const;

    QTemporaryDir m_root;
    std::unique_ptr<TMainForm> m_form;
};
