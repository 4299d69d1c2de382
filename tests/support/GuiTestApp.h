#pragma once
// One QGuiApplication for a test program that draws pictures (text needs the
// font database) but shows no widgets.
#include <QGuiApplication>

#include "support/TestAppEnvironment.h"

namespace qs::test {

inline ::testing::Environment* const kGuiTestApp =
    ::testing::AddGlobalTestEnvironment(new TestAppEnvironment<QGuiApplication>);

}  // namespace qs::test
