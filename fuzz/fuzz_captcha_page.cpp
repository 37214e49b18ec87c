// libFuzzer target: the hidden values and picture address of a security image
// page. The hidden values are pieces of the page without quotes; the address
// holds no quote and is empty when the page names no picture.

#include "FuzzSupport.h"
#include "keywords/SuggestionPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray page = FuzzBytes(data, size);
    const TCaptchaFields fields = ReadCaptchaPage(page);
    for (const QByteArray *value : {&fields.RandomValue, &fields.SeedValue}) {
        FUZZ_CHECK(value->isEmpty() || page.contains(*value));
        FUZZ_CHECK(!value->contains('"'));
    }
    FUZZ_CHECK(!fields.ImageSrc.contains('"'));
    FUZZ_CHECK(fields.ImageSrc.size() <= page.size());
    if (PlainIndexOfFolded(page, "src=\"") < 0)
        FUZZ_CHECK(fields.ImageSrc.isEmpty());
    if (PlainIndexOfFolded(page, "name=\"random\" value=\"") < 0)
        FUZZ_CHECK(fields.RandomValue.isEmpty());
    return 0;
}
