#include "jet/jet_format.h"

namespace jet {

const JetFormat& jet3Format() {
    static const JetFormat format{
        .version = Version::Jet3,
        .pageSize = 2048,
        .headerMaskLength = 126,
        .passwordLength = 20,
        .passwordDateMasked = false,
        .dataRowCountOffset = 8,
        .tdefRowCountOffset = 12,
        .tdefVarColumnCountOffset = 23,
        .tdefColumnCountOffset = 25,
        .tdefIndexCountOffset = 27,
        .tdefRealIndexCountOffset = 31,
        .tdefUsageMapOffset = 35,
        .tdefRealIndexStart = 43,
        .tdefRealIndexEntrySize = 8,
        .tdefIndexEntrySize = 20,
        .columnEntrySize = 18,
        .columnNumberOffset = 1,
        .columnVarIndexOffset = 3,
        .columnFlagsOffset = 13,
        .columnFixedOffsetOffset = 14,
        .columnLengthOffset = 16,
        .columnPrecisionOffset = 11,
        .columnScaleOffset = 12,
        .columnNameLengthSize = 1,
        .rowCountSize = 1,
        .unicodeText = false,
        .headerCodePageOffset = 0x3C,
        .headerDatabaseKeyOffset = 0x3E,
        .headerPasswordOffset = 0x42,
        .headerCreationDateOffset = 0x72,
        .textCharSize = 1,
    };
    return format;
}

const JetFormat& jet4Format() {
    static const JetFormat format{
        .version = Version::Jet4,
        .pageSize = 4096,
        .headerMaskLength = 128,
        .passwordLength = 40,
        .passwordDateMasked = true,
        .dataRowCountOffset = 12,
        .tdefRowCountOffset = 16,
        .tdefVarColumnCountOffset = 43,
        .tdefColumnCountOffset = 45,
        .tdefIndexCountOffset = 47,
        .tdefRealIndexCountOffset = 51,
        .tdefUsageMapOffset = 55,
        .tdefRealIndexStart = 63,
        .tdefRealIndexEntrySize = 12,
        .tdefIndexEntrySize = 28,
        .columnEntrySize = 25,
        .columnNumberOffset = 5,
        .columnVarIndexOffset = 7,
        .columnFlagsOffset = 15,
        .columnFixedOffsetOffset = 21,
        .columnLengthOffset = 23,
        .columnPrecisionOffset = 11,
        .columnScaleOffset = 12,
        .columnNameLengthSize = 2,
        .rowCountSize = 2,
        .unicodeText = true,
        .headerCodePageOffset = 0x3C,
        .headerDatabaseKeyOffset = 0x3E,
        .headerPasswordOffset = 0x42,
        .headerCreationDateOffset = 0x72,
        .textCharSize = 2,
    };
    return format;
}

}  // namespace jet
