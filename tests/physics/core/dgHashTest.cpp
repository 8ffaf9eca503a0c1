#include "physics/core/dgClassIds.h"
#include "physics/core/dgHash.h"
#include "physics/core/dgNameTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>

static_assert(dgTypeIdFromName("dgRef") == dgHash("dgRef", 5, 0), "class ids are hashes of their names");
static_assert(dgHash("", 0, 0x1234u) == 0x1234u);

TEST(dgHash, FirstStepsFollowTheTable) {
    const unsigned char zero = 0x00;
    const unsigned char one = 0x01;
    EXPECT_EQ(dgHash(&zero, 0, 0xDEADBEEFu), 0xDEADBEEFu);
    EXPECT_EQ(dgHash(&zero, -5, 7u), 7u);
    EXPECT_EQ(dgHash(&zero, 1, 0), 0x00000001u);
    EXPECT_EQ(dgHash(&one, 1, 0), 0x2C11F801u);
    // Second step over 0x2C: (0x2C11F801 << 8) ^ T[0x2C ^ 0x2C] = 0x11F80100 ^ 1.
    const unsigned char pair[] = {0x01, 0x2C};
    EXPECT_EQ(dgHash(pair, 2, 0), 0x11F80101u);
    // Bytes above 0x7F index the table as unsigned values.
    const char high[] = {static_cast<char>(0xFF)};
    EXPECT_EQ(dgHash(high, 1, 0), dgHash(static_cast<const void*>(high), 1, 0));
    EXPECT_EQ(dgHashBuffer(pair, 2), dgHash(pair, 2, 0));
}

TEST(dgHash, SingleBytesGiveDistinctHashesAndAnyLastByteChangesTheResult) {
    std::set<dgUnsigned32> singles;
    for (int b = 0; b < 256; b++) {
        const unsigned char byte = static_cast<unsigned char>(b);
        singles.insert(dgHash(&byte, 1, 0));
    }
    EXPECT_EQ(singles.size(), 256u);
    std::set<dgUnsigned32> lastByte;
    unsigned char run[] = {'n', 'a', 'm', 0};
    for (int b = 0; b < 256; b++) {
        run[3] = static_cast<unsigned char>(b);
        lastByte.insert(dgHash(run, 4, 0));
    }
    EXPECT_EQ(lastByte.size(), 256u);
}

TEST(dgFloatToFixed, QuantisesTo1024thsTowardZeroAndSaturates) {
    EXPECT_EQ(dgFloatToFixed(1.5f), 1536);
    EXPECT_EQ(dgFloatToFixed(-0.0009f), 0);
    EXPECT_EQ(dgFloatToFixed(-1.5f), -1536);
    EXPECT_EQ(dgFloatToFixed(0.00195f), 1); // 1.9968 truncates to 1
    EXPECT_EQ(dgFloatToFixed(std::numeric_limits<dgFloat32>::quiet_NaN()), INT32_MIN);
    EXPECT_EQ(dgFloatToFixed(std::numeric_limits<dgFloat32>::infinity()), INT32_MAX);
    EXPECT_EQ(dgFloatToFixed(-std::numeric_limits<dgFloat32>::infinity()), INT32_MIN);
    EXPECT_EQ(dgFloatToFixed(2097152.0f), INT32_MAX);  // 2^21 * 1024 = 2^31
    EXPECT_EQ(dgFloatToFixed(-2097152.0f), INT32_MIN); // exactly -2^31
    EXPECT_EQ(dgFloatToFixed(std::nextafter(2097152.0f, 0.0f)), 2147483520);
    EXPECT_EQ(dgFloatToFixed(1e30f), INT32_MAX);
}

TEST(dgClassIds, NineteenDistinctIdsEqualToTheirNamesHashes) {
    const struct {
        const char* name;
        dgUnsigned32 id;
    } classes[] = {
        {"dgCollisionPolygonalSoup", dgCollisionPolygonalSoupClassId},
        {"dgCollisionPolygonalSoup::dgCollisionConvexPolygon", dgCollisionConvexPolygonClassId},
        {"dgRef", dgRefClassId},
        {"dgCollision", dgCollisionClassId},
        {"dgConvexCollision", dgConvexCollisionClassId},
        {"dgDoublePlaneBSPPolygonSoup", dgDoublePlaneBSPPolygonSoupClassId},
        {"dgPolygonSoupDatabase", dgPolygonSoupDatabaseClassId},
        {"dgCollisionBox", dgCollisionBoxClassId},
        {"dgCollisionNull", dgCollisionNullClassId},
        {"dgCollisionCone", dgCollisionConeClassId},
        {"dgCollisionSphere", dgCollisionSphereClassId},
        {"dgCollisionEllipse", dgCollisionEllipseClassId},
        {"dgCollisionCapsule", dgCollisionCapsuleClassId},
        {"dgCollisionCylinder", dgCollisionCylinderClassId},
        {"dgCompoundCollision", dgCompoundCollisionClassId},
        {"dgCollisionConvexHull", dgCollisionConvexHullClassId},
        {"dgCollisionConvexModifier", dgCollisionConvexModifierClassId},
        {"dgCollisionChamferCylinder", dgCollisionChamferCylinderClassId},
        {"dgBaseNode", dgBaseNodeClassId},
    };
    std::set<dgUnsigned32> ids;
    for (const auto& entry : classes) {
        const dgInt32 length = static_cast<dgInt32>(std::strlen(entry.name));
        EXPECT_EQ(entry.id, dgHash(static_cast<const void*>(entry.name), length, 0)) << entry.name;
        ids.insert(entry.id);
    }
    EXPECT_EQ(ids.size(), 19u);
    EXPECT_EQ(dgRegisterName("dgRef"), dgRefClassId);
}

TEST(dgNameTable, RegisteringNamesInternsThemForTheLifeOfTheProcess) {
    EXPECT_EQ(dgRegisterName(nullptr), 0u);
    EXPECT_EQ(dgRegisterName(""), 0u);
    const dgUnsigned32 id = dgRegisterName("dgWorld");
    EXPECT_EQ(id, dgTypeIdFromName("dgWorld"));
    const char* stored = dgNameFromId(id);
    EXPECT_STREQ(stored, "dgWorld");
    EXPECT_EQ(dgRegisterName("dgWorld"), id);
    EXPECT_EQ(dgNameFromId(id), stored); // entered once, never moved
    EXPECT_EQ(dgNameFromId(dgTypeIdFromName("a name nobody registered")), nullptr);
}

TEST(dgNameTable, FullPagesAreFollowedByANewFirstPage) {
    dgNameTable table;
    EXPECT_EQ(table.GetPageCount(), 1);
    EXPECT_EQ(table.GetBytesLeft(), 7936u);
    const std::string text(99, 'x'); // 100 bytes with the terminator
    std::vector<const char*> stored;
    for (dgUnsigned32 id = 1; id <= 80; id++) {
        std::string name = text;
        name[0] = static_cast<char>('A' + id % 26);
        name[1] = static_cast<char>('A' + id / 26);
        stored.push_back(table.Insert(id, name.c_str()));
    }
    // 79 texts fill 7900 bytes; the 80th does not fit the 36 left.
    EXPECT_EQ(table.GetPageCount(), 2);
    EXPECT_EQ(table.GetBytesLeft(), 7936u - 100u);
    for (dgUnsigned32 id = 1; id <= 80; id++) {
        EXPECT_EQ(table.Find(id), stored[id - 1]);
        EXPECT_EQ(std::strlen(table.Find(id)), 99u);
        EXPECT_EQ(table.Find(id)[0], static_cast<char>('A' + id % 26));
    }
    // The first text entered under an id stays.
    EXPECT_EQ(table.Insert(5, "other"), stored[4]);
    EXPECT_EQ(table.GetCount(), 80);
}

TEST(dgNameTable, TextTooLongForAPageGetsAnExactPageOfItsOwn) {
    dgNameTable table;
    table.Insert(1, "short");
    const std::size_t leftBefore = table.GetBytesLeft();
    for (std::size_t length : {std::size_t(7935), std::size_t(7936), std::size_t(20000)}) {
        const std::string text(length, 'q');
        const char* stored = table.Insert(static_cast<dgUnsigned32>(length), text.c_str());
        EXPECT_EQ(std::string(stored), text);
        std::string copy(stored, length + 1); // ASan checks the terminator is inside the page
        EXPECT_EQ(copy.back(), '\0');
    }
    // 7935 characters still fit a fresh ordinary page; the two longer texts got exact pages.
    EXPECT_EQ(table.GetPageCount(), 4);
    EXPECT_EQ(table.GetBytesLeft(), 0u);
    EXPECT_STREQ(table.Find(1), "short");
    EXPECT_NE(leftBefore, 0u);
}
