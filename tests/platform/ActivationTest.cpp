#include <gtest/gtest.h>

#include "platform/linux/Activation.h"

namespace veska {

// Off X11 the token reaches Qt's windows through the environment: each grant replaces the one
// before, and none outlives its click.
TEST(Activation, EachTokenStandsInTheEnvironmentUntilItsClickHasRun) {
    for (const char* token : {"first", "a-longer-second-token", "3"}) {
        GrantActivation(QStringLiteral("earlier"), 0);
        GrantActivation(QString::fromUtf8(token), 0);
        EXPECT_EQ(qgetenv("XDG_ACTIVATION_TOKEN"), QByteArray(token));
        EXPECT_EQ(TakeActivationToken(), token);
        EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
    }
}

}  // namespace veska
