#pragma once

#include "mainwindow/TMainForm.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A main window over a temporary program folder that borrows the shipped pictures, with the file
// dialogs and the shell in test mode and the desktop folders redirected into the temporary folder.
class MainFormFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    QString programFolder() const;

    QTemporaryDir m_root;
    std::unique_ptr<TMainForm> m_form;
};
