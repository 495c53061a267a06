#include "conversion.h"

#include "impression.h"

std::vector<uint8_t> JobConverti(const std::string& flux, const settings::Record& reglages)
{
    Impression impression;
    EXPECT_EQ(impression.flux(flux, reglages), 1);
    EXPECT_EQ(impression.termine(reglages), 1);
    return impression.fichier();
}
