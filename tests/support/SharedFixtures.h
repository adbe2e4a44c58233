#pragma once

#include <QString>

namespace testsupport {

// The data files of other servers' versions that live beside the source
// tree, in ../shared/fixtures. A developer's checkout may lack them; CI
// (CI=true) must not, so a test there fails instead of skipping.
class SharedFixtures {
public:
    // ../shared/fixtures/foreign relative to the source tree (no trailing
    // '/'); empty when it is not there.
    static QString foreignFolder();
    static bool underCi();
};

} // namespace testsupport

// In a test body: `var` is the foreign fixtures' folder; when it is missing
// the test skips, or fails under CI.
#define GRISOLT_FOREIGN_FIXTURES(var)                                                          \
    const QString var = testsupport::SharedFixtures::foreignFolder();                          \
    if (var.isEmpty()) {                                                                       \
        if (testsupport::SharedFixtures::underCi())                                            \
            FAIL() << "foreign fixtures missing beside the source tree (../shared/fixtures)"; \
        GTEST_SKIP() << "foreign fixtures not found beside the source tree";                   \
    }
