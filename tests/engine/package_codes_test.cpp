// The package reader's statuses as the designed exports and the kavrel_
// interface report them: the numbers are fixed by the interfaces.
#include <gtest/gtest.h>

#include "kavrel.h"
#include "kavrelcore.h"
#include "package_codes.h"

namespace kavrel {
namespace {

TEST(PackageCodes, EveryStatusKeepsItsInterfaceNumbers) {
  struct Case {
    PackageStatus status;
    std::int32_t designed;
    std::int32_t opening;
  };
  const Case cases[] = {
      {PackageStatus::kOk, 0, KAVREL_SUCCESS},
      {PackageStatus::kAlreadyOpen, -1000, KAVREL_PACKAGE_NOT_FOUND},
      {PackageStatus::kNotLoaded, -1002, KAVREL_PACKAGE_NOT_FOUND},
      {PackageStatus::kNoFile, -1003, KAVREL_PACKAGE_NOT_FOUND},
      {PackageStatus::kBadFormat, -1004, KAVREL_PACKAGE_DAMAGED},
      {PackageStatus::kNoEntry, -1005, KAVREL_PACKAGE_NOT_FOUND},
      {PackageStatus::kNoDecompressor, -1006, KAVREL_PACKAGE_NOT_FOUND},
      {PackageStatus::kDamaged, -1007, KAVREL_PACKAGE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DesignedCode(c.status), c.designed) << PackageStatusText(c.status);
    EXPECT_EQ(KavrelOpenCode(c.status), c.opening) << PackageStatusText(c.status);
  }
  EXPECT_EQ(KAVREL_PACKAGE_DAMAGED, -1004);
  EXPECT_EQ(KAVREL_PACKAGE_NOT_FOUND, -1003);
}

}  // namespace
}  // namespace kavrel
