#include <gtest/gtest.h>

#include "engine/LabelReferences.h"

namespace kvq {
namespace {

bool Refers(std::string_view statement, int label) {
  return RefersToLabel(LabelReferenceKey(statement), label);
}

TEST(LabelReferences, JumpsOfEveryKindReferToTheLabel) {
  EXPECT_TRUE(Refers("GO TO 50", 50));
  EXPECT_TRUE(Refers("IF (X .GT. 0) GOTO 50", 50));
  EXPECT_TRUE(Refers("GO TO (10, 50, 60) K", 50));
  EXPECT_TRUE(Refers("GO TO K, (10, 50)", 50));
  EXPECT_TRUE(Refers("IF (X - Y) 10, 50, 60", 50));
  EXPECT_TRUE(Refers("ASSIGN 50 TO K", 50));
  EXPECT_TRUE(Refers("READ (5, *, END=50) X", 50));
  EXPECT_TRUE(Refers("READ (5, *, err = 50) X", 50));
  EXPECT_TRUE(Refers("READ (5, 100, EOR=50, ADVANCE='NO') X", 50));
  EXPECT_TRUE(Refers("CALL SOLVE(A, *50, *60)", 50));
  EXPECT_TRUE(Refers("GOTO 050", 50));
}

TEST(LabelReferences, NumbersThatAreNoLabelsDoNot) {
  EXPECT_FALSE(Refers("X = 50", 50));
  EXPECT_FALSE(Refers("X = A(50) + 1.50", 50));
  EXPECT_FALSE(Refers("CALL S(K50, 50)", 50));
  EXPECT_FALSE(Refers("IF (K50 .GT. 50) X = 1", 50));
  EXPECT_FALSE(Refers("GO TO 500", 50));
  EXPECT_FALSE(Refers("GO TO 150", 50));
  EXPECT_FALSE(Refers("WRITE (*, *) 'GO TO 50'", 50));
  EXPECT_FALSE(Refers("X = 1 ! GO TO 50", 50));
  EXPECT_FALSE(Refers("X = 5.0E50", 50));
}

}  // namespace
}  // namespace kvq
