// Must not compile: a member name is copied as it is, so a literal that would need escaping is
// refused when the program is built. The test expects the compiler's refusal.
#include "vanto/encoding/JsonWriter.h"

void writeNameWithSolidus(vanto::JsonWriter& writer) {
    writer.member("Ds_Merchant/Order", "1");
}
