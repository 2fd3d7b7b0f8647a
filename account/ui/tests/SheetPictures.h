#pragma once

#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace testing_support {

// Leaves a picture of a sheet beside the test program, for a person to look at.
inline void writeSheetPicture(QWidget& sheet, const char* name)
{
    sheet.resize(sheet.sizeHint().expandedTo(QSize(480, 640)));
    const auto path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
    EXPECT_TRUE(sheet.grab().save(QString::fromStdString(path.string()), "PNG")) << path;
}

} // namespace testing_support
