// Where an update may put an image's parts: the placement rules on crafted ranges.
#include <gtest/gtest.h>

#include <vector>

#include "zelko/pg/image_layout.h"

using namespace zelko;

namespace {

constexpr uint64_t k_pg = 0x8C004000;

TEST(image_layout, placement_rules) {
    const std::vector<flash_range> rescue = {{0x8C110000, 0x8000}, {k_pg, 0x1000}};
    struct row {
        flash_range range;
        bool placeable;
        const char* why;
    } rows[] = {
        {{k_pg, 0x1000}, true, "a front part shares the PG sector"},
        {{0x8C010000, 0xF000}, true, "a main area below the rescue area"},
        {{k_pg, 0x3000}, true, "a front part running on past the PG sector, clear of the rescue area"},
        {{0x8C003000, 0x1000}, false, "the customer page"},
        {{0x8C002000, 0x3000}, false, "the UUID area, up into the PG sector"},
        {{0x8C000000, 0x1000}, false, "the boot loader"},
        {{0x00000000, 0x1000}, false, "address 0"},
        {{0xFFFFF000, 0x1000}, true, "the last sector of the address space"},
        {{0xFFFFF000, 0x2000}, false, "a part wrapping past the address space"},
        {{0x8C117000, 0x2000}, false, "the rescue image's last sector"},
        {{0x8C108000, 0x8000}, true, "right below the rescue image"},
        {{0x8C108000, 0x8001}, false, "a length that is no whole sector"},
        {{0x8C108800, 0x1000}, false, "an address off a sector boundary"},
        {{0x8C108000, 0}, false, "an empty part"},
        {{0x8C003000, 0x2000}, false, "over the PG sector from below"},
    };
    for (const row& r : rows) EXPECT_EQ(flash_range_placeable(r.range, rescue), r.placeable) << r.why;
}

TEST(image_layout, a_part_over_the_pg_sector_meets_another_only_outside_it) {
    const std::vector<flash_range> front = {{k_pg, 0x3000}};
    EXPECT_TRUE(flash_range_placeable({k_pg, 0x1000}, front));
    EXPECT_FALSE(flash_range_placeable({k_pg, 0x2000}, front));
    EXPECT_FALSE(flash_range_placeable({0x8C006000, 0x1000}, front));
    EXPECT_TRUE(flash_range_placeable({0x8C007000, 0x1000}, front));
}

}  // namespace
