// The parameter catalogue: each family's width and sign index by index (written here apart from its
// own lists), its texts, and what a family leaves as the family before wrote it.
#include <gtest/gtest.h>

#include <climits>

#include "params/ParamCatalogue.h"

namespace {

const std::string kQmx = "31400 QMX, VERTA";
const std::string kLum = "31420 QS-LUMPROB";

// One letter an index from 0, in groups of ten: 1, 2, 4 bytes unsigned; S, L 2 and 4 bytes signed.
const std::string kQmxTypes =
    "4111111111 1144444444 444422222S 2144112S2S 2S2S11122S 2S22222222 2111111222"
    "1111141442 111222211S 2S2S2S2S11 1122222211 112S2S2S2S 2S2S2S2S11 1111112111"
    "1244442211 2111121111 1112S2S121 1111111SSS SSSSSSSSS1 1SS1111SS1 111SS";
const std::string kLumTypes =
    "4111111111 1121444444 44442S2121 2S41112S2S 2S2S21122S 2422224222 2222242244"
    "1114441114 4422222222 2222444444 144L4L4L4L 4L4L4L4L4L 4L4L4L4444 4444444444"
    "4444444444 444414";

std::string Squeezed(std::string letters)
{
    std::erase(letters, ' ');
    return letters;
}

// Every index's type as a letter, '.' for none.
std::string TypeLetters(const ParamCatalogue& catalogue)
{
    std::string letters;
    for (int i = 0; i <= ParamCatalogue::kLastIndex; ++i) {
        const ParamType t = catalogue.Type(i);
        letters += t.Size == 0 ? '.' : !t.Signed ? static_cast<char>('0' + t.Size) : t.Size == 2 ? 'S' : 'L';
    }
    return letters;
}

std::string Untouched(int from)
{
    return std::string(static_cast<std::size_t>(ParamCatalogue::kLastIndex + 1 - from), '.');
}

}  // namespace

TEST(ParamCatalogue, EachIndexHasTheWidthAndSignOfItsFamily)
{
    const std::string qmx = Squeezed(kQmxTypes);
    const std::string lum = Squeezed(kLumTypes);
    ParamCatalogue catalogue;
    EXPECT_EQ(TypeLetters(catalogue), Untouched(0));
    EXPECT_EQ(catalogue.LoadFamily(kQmx), 204);
    EXPECT_EQ(TypeLetters(catalogue), qmx + Untouched(205));
    // The smaller family leaves the indexes above its last as the first one wrote them.
    EXPECT_EQ(catalogue.LoadFamily(kLum), 155);
    EXPECT_EQ(TypeLetters(catalogue), lum + qmx.substr(156) + Untouched(205));
    ParamCatalogue lumOnly;
    lumOnly.LoadFamily(kLum);
    EXPECT_EQ(TypeLetters(lumOnly), lum + Untouched(156));
    for (const int index : {-1, 301, INT_MIN, INT_MAX}) {
        EXPECT_EQ(catalogue.Type(index).Size, 0) << index;
        EXPECT_EQ(catalogue.Description(index), "") << index;
    }
}

// Blanks, accents and misspellings included; the calibration-date entries read the same in both.
TEST(ParamCatalogue, TextsCharacterForCharacter)
{
    const struct { const std::string& family; int index; const char* text; } cases[] = {
        {kQmx, 0, "SN"}, {kQmx, 5, "Calib. giorno"}, {kQmx, 7, "Calib. anno"}, {kLum, 6, "Calib. mese"},
        {kQmx, 3, ">0  visualizza data calibrazione"}, {kQmx, 11, "Buzzer On pressione tasti,  0=Off, 1=On"},
        {kQmx, 30, "LOW OHM Limite accetabilità"}, {kQmx, 134, "KTZ44 tempo interveto MT,  0=0.035, 1=0.1"},
        {kQmx, 175, "PQA Azz. armononiche e RMS [mV FS]"}, {kQmx, 200, "EARTH Distanza misura tarra    1 a 25 m"},
        {kQmx, 201, "EARTH Unità misura distanza terra   0=metri ; 1=feet"}, {kQmx, 204, "EARTH Offset misura R "},
        {kLum, 11, "Buzzer pressione tasti 0=ON, 1=Off"}, {kLum, 45, "ISO  Limite resit.  0=0.05 .. 5=1 MOhm"},
    };
    for (const auto& c : cases) {
        ParamCatalogue catalogue;
        catalogue.LoadFamily(c.family);
        EXPECT_EQ(catalogue.Description(c.index), c.text) << c.family << " " << c.index;
    }
}

// Entries a family does not set keep the text of the family before (none after start-up); the
// entries 31420 sets empty are emptied.
TEST(ParamCatalogue, AFamilyLeavesTheTextsItDoesNotSet)
{
    ParamCatalogue catalogue;
    catalogue.LoadFamily(kQmx);
    const std::string qmxTexts[] = {"---", "", "LOOP potere interruzione kA, 1-999", "RCD AUTO tipo  0=AC,  1=A", "",
                                    "KTZ44 indice relazione Ka, I2t"};
    int n = 0;
    for (const int index : {77, 78, 79, 130, 131, 132})
        EXPECT_EQ(catalogue.Description(index), qmxTexts[n++]) << index;

    catalogue.LoadFamily(kLum);
    for (const auto& [index, text] : std::vector<std::pair<int, std::string>>{
             {13, "ISO indice RLIM 0=0.05, 1=0.10"}, {14, "---"}, {15, "---"}, {16, "ADCext Ch0  B2 Ofs"},
             {49, "ISO NE  Ofs lettura tensione ISO NE"}, {52, "ADC uP Ofs chn VAD1 micro (B1 C)"},
             {72, "MEM Indice di vis. Stringa di livello 3"}, {78, "MEM numero marcatore livello 3"},
             {82, "SYS 1mo carattere nome operatore"}, {126, "V ISO Valore resistenza ramo P  [Ohm]"},
             {155, "PQA Volt  K"}, {156, "PQA Curr  K"}, {204, "EARTH Offset misura R "}})
        EXPECT_EQ(catalogue.Description(index), text) << index;
    for (const int index : {50, 51, 56, 65, 68, 69, 73, 74, 75, 79, 80, 81, 94, 96, 99, 101, 128, 130, 142, 153})
        EXPECT_EQ(catalogue.Description(index), "") << index;

    catalogue.LoadFamily(kQmx);
    EXPECT_EQ(catalogue.Description(78), "MEM numero marcatore livello 3");
    EXPECT_EQ(catalogue.Description(131), "");
    EXPECT_EQ(catalogue.Description(155), "PQA Volt  K");
}
