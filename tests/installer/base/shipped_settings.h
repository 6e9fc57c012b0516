#pragma once

#include <gtest/gtest.h>

#include "installer/base/product_info.h"

// The product settings this installer ships in resources/product.ini, as
// ProductInfo::Load must read them from the package and from the folder.
inline void ExpectShippedProductSettings(const ProductInfo& product) {
  EXPECT_EQ(product.BrandName(), L"Halden");
  EXPECT_EQ(product.ProductName(), L"Tidewell");
  EXPECT_EQ(product.ProcessName(), L"Tidewell.exe");
  EXPECT_EQ(product.AnalyticsCategory(), L"Tidewell_for_Win");
  EXPECT_EQ(product.AnalyticsName(), L"Tidewell_Installer");
}
