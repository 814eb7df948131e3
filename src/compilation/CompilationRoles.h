#pragma once

#include <Qt>

// The data roles of the compilation's tree nodes and file rows.
struct CompilationRoles
{
    enum Role { DestPathRole = Qt::UserRole + 1, PictureRole };
};
