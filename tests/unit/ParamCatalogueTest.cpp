#include "params/ParamCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <tuple>
#include <string>
#include <vector>

namespace {

const std::string kQmx = "31400 QMX, VERTA";
const std::string kLum = "31420 QS-LUMPROB";

struct TypeCase {
    int Index;
    int Size;
    bool Signed;
};

struct TextCase {
    int Index;
    const char* Text;
};

void ExpectTypes(const ParamCatalogue& cat, const std::vector<TypeCase>& cases) {
    for (const TypeCase& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.Index));
        const ParamType t = cat.Type(c.Index);
        EXPECT_EQ(t.Size, c.Size);
        EXPECT_EQ(t.Signed, c.Signed);
    }
}

void ExpectTexts(const ParamCatalogue& cat, const std::vector<TextCase>& cases) {
    for (const TextCase& c : cases) {
        SCOPED_TRACE("index " + std::to_string(c.Index));
        EXPECT_EQ(cat.Description(c.Index), c.Text);
    }
}

void ExpectUntouched(const ParamCatalogue& cat, int first, int last) {
    for (int i = first; i <= last; ++i) {
        SCOPED_TRACE("index " + std::to_string(i));
        EXPECT_EQ(cat.Description(i), "");
        EXPECT_EQ(cat.Type(i).Size, 0);
        EXPECT_FALSE(cat.Type(i).Signed);
    }
}

// The type tables as the catalogue's description lists them: width, signedness, index ranges.
struct TypeRow {
    int Size;
    bool Signed;
    std::vector<std::pair<int, int>> Ranges;
};

const std::vector<TypeRow> kQmxTable = {
    {1, false, {{1, 11}, {31, 31}, {34, 35}, {44, 46}, {61, 66}, {70, 74}, {76, 76}, {80, 82}, {87, 88}, {98, 101},
                {108, 111}, {128, 135}, {137, 140}, {148, 149}, {151, 154}, {156, 162}, {167, 167}, {169, 176},
                {189, 190}, {193, 196}, {199, 202}}},
    {2, false, {{24, 28}, {30, 30}, {36, 36}, {38, 38}, {40, 40}, {42, 42}, {47, 48}, {50, 50}, {52, 60}, {67, 69},
                {79, 79}, {83, 86}, {90, 90}, {92, 92}, {94, 94}, {96, 96}, {102, 107}, {112, 112}, {114, 114},
                {116, 116}, {118, 118}, {120, 120}, {122, 122}, {124, 124}, {126, 126}, {136, 136}, {141, 141},
                {146, 147}, {150, 150}, {155, 155}, {163, 163}, {165, 165}, {168, 168}}},
    {2, true, {{29, 29}, {37, 37}, {39, 39}, {41, 41}, {43, 43}, {49, 49}, {51, 51}, {89, 89}, {91, 91}, {93, 93},
               {95, 95}, {97, 97}, {113, 113}, {115, 115}, {117, 117}, {119, 119}, {121, 121}, {123, 123},
               {125, 125}, {127, 127}, {164, 164}, {166, 166}, {177, 188}, {191, 192}, {197, 198}, {203, 204}}},
    {4, false, {{0, 0}, {12, 23}, {32, 33}, {75, 75}, {77, 78}, {142, 145}}},
};

const std::vector<TypeRow> kLumTable = {
    {1, false, {{1, 11}, {13, 13}, {27, 27}, {29, 29}, {33, 35}, {45, 46}, {70, 72}, {76, 78}, {100, 100}, {154, 154}}},
    {2, false, {{12, 12}, {24, 24}, {26, 26}, {28, 28}, {30, 30}, {36, 36}, {38, 38}, {40, 40}, {42, 42}, {44, 44},
                {47, 48}, {50, 50}, {52, 55}, {57, 64}, {66, 67}, {82, 93}}},
    {2, true, {{25, 25}, {31, 31}, {37, 37}, {39, 39}, {41, 41}, {43, 43}, {49, 49}}},
    {4, false, {{0, 0}, {14, 23}, {32, 32}, {51, 51}, {56, 56}, {65, 65}, {68, 69}, {73, 75}, {79, 81}, {94, 99},
                {101, 102}, {104, 104}, {106, 106}, {108, 108}, {110, 110}, {112, 112}, {114, 114}, {116, 116},
                {118, 118}, {120, 120}, {122, 122}, {124, 124}, {126, 153}, {155, 155}}},
    {4, true, {{103, 103}, {105, 105}, {107, 107}, {109, 109}, {111, 111}, {113, 113}, {115, 115}, {117, 117},
               {119, 119}, {121, 121}, {123, 123}, {125, 125}}},
};

}  // namespace

TEST(ParamCatalogueTest, StartsEmptyAndReturnsLastIndexPerFamily) {
    ParamCatalogue cat;
    ExpectUntouched(cat, 0, ParamCatalogue::kLastIndex);

    EXPECT_EQ(cat.LoadFamily(kQmx), 204);
    EXPECT_EQ(cat.LoadFamily(kLum), 155);
}

TEST(ParamCatalogueTest, UnknownFamilyLoadsNothing) {
    for (const char* entry : {"", "31400", "31420", "31400 QMX,VERTA", "31420 QS-LUMPROB ",
                              " 31400 QMX, VERTA", "31420 qs-lumprob"}) {
        SCOPED_TRACE(std::string("entry '") + entry + "'");
        ParamCatalogue fresh;
        EXPECT_FALSE(fresh.LoadFamily(entry).has_value());
        ExpectUntouched(fresh, 0, ParamCatalogue::kLastIndex);

        ParamCatalogue loaded;
        loaded.LoadFamily(kLum);
        EXPECT_FALSE(loaded.LoadFamily(entry).has_value());
        EXPECT_EQ(loaded.Description(1), "Tipo 0=QS-LUM, 1=408t, 2=?? 31420");
        EXPECT_EQ(loaded.Type(29).Size, 1);
        ExpectUntouched(loaded, 156, ParamCatalogue::kLastIndex);
    }
}

// Every index of each family has the width and signedness of its row, each index is in exactly
// one row, and nothing beyond the family's last index is written.
TEST(ParamCatalogueTest, EveryIndexHasTheTypeOfItsRow) {
    for (const auto& [entry, last, table] : {std::tuple{kQmx, 204, kQmxTable}, std::tuple{kLum, 155, kLumTable}}) {
        SCOPED_TRACE(entry);
        ParamCatalogue cat;
        cat.LoadFamily(entry);
        std::vector<int> rowsOf(static_cast<std::size_t>(last) + 1, 0);
        for (const TypeRow& row : table) {
            for (const auto& [first, end] : row.Ranges) {
                for (int i = first; i <= end; ++i) {
                    SCOPED_TRACE("index " + std::to_string(i));
                    ++rowsOf.at(static_cast<std::size_t>(i));
                    EXPECT_EQ(cat.Type(i).Size, row.Size);
                    EXPECT_EQ(cat.Type(i).Signed, row.Signed);
                }
            }
        }
        EXPECT_EQ(std::count(rowsOf.begin(), rowsOf.end(), 1), last + 1) << "the table covers each index once";
        ExpectUntouched(cat, last + 1, ParamCatalogue::kLastIndex);
    }
}

// Texts character for character, blanks, accents and misspellings included; the calibration-date
// entries read the same in both families.
TEST(ParamCatalogueTest, TextsAreExact) {
    ParamCatalogue cat;
    cat.LoadFamily(kQmx);
    ExpectTexts(cat, {{5, "Calib. giorno"}, {6, "Calib. mese"}, {7, "Calib. anno"},
        {0, "SN"},
        {1, "0=Grand 1=QMX 2=BRSK 3=708 4=710 5=611 6=UltVrt 7=QMX+ 8=ZJ/1 9=ZJ/2 10=ZJ/3"},
        {3, ">0  visualizza data calibrazione"},
        {11, "Buzzer On pressione tasti,  0=Off, 1=On"},
        {12, "---"},
        {30, "LOW OHM Limite accetabilità"},
        {45, "ISO limite  0=0.05, 1=0.10, 2=0.23, 3=0.25, 4=0.5, 5=1, 6=100"},
        {70, "Tensione contatto  0=25V,  1=50V"},
        {84, "LOOP res. calib. cavo PE"},
        {85, "LOOP res. calib. cavo PE"},
        {93, "RCD I, 55mA  ofs"},
        {95, "RCD I, 600mA  ofs"},
        {110, "RCD, tipo gen  0=AC+, AC-, A+, A-, ACsel+. ACsel-, Asel+, Asel-, B+, B-"},
        {134, "KTZ44 tempo interveto MT,  0=0.035, 1=0.1"},
        {154, "TestFunc fatto"},
        {175, "PQA Azz. armononiche e RMS [mV FS]"},
        {176, "SYS   0=L-N-PE  o  1= L-L-PE"},
        {186, "SYS nome operatore 10mo caratt."},
        {193, "SYS  attiva LSO all'accensione"},
        {200, "EARTH Distanza misura tarra    1 a 25 m"},
        {201, "EARTH Unità misura distanza terra   0=metri ; 1=feet"},
        {204, "EARTH Offset misura R "},
    });
    cat.LoadFamily(kLum);
    ExpectTexts(cat, {{5, "Calib. giorno"}, {6, "Calib. mese"}, {7, "Calib. anno"},
        {0, "SN"},
        {1, "Tipo 0=QS-LUM, 1=408t, 2=?? 31420"},
        {10, "Formato data  0=EU, 1=USA"},
        {11, "Buzzer pressione tasti 0=ON, 1=Off"},
        {23, "ADCext Ch7     Ofs"},
        {28, "RPE  calibrazione cavi  /100"},
        {37, "ISO  Correz DAC generaz.  Ofs  /100"},
        {39, "ISO PPE Lettura V  Ofs  /100"},
        {45, "ISO  Limite resit.  0=0.05 .. 5=1 MOhm"},
        {57, "ADC uP  K Vpn letta dal micro V>=48"},
        {93, "SYS 12mo carattere nome operatore"},
        {100, "SYS PowerOff  0=dis;  1=abil"},
        {102, "V ISO K tensione ramo P   SC<80V POS"},
        {106, "V ISO K tensione ramo E  SC<80V POS"},
        {111, "V ISO Ofs tensione ramo N   SC<80V NEG"},
        {127, "V ISO Valore resistenza ramo N  [Ohm]"},
        {129, "ISO  # intervento protezione misura ISO"},
    });
}

TEST(ParamCatalogueTest, NotSetEntriesKeepPreviousText) {
    // 78 and 131 are not part of 31400: empty after start-up.
    ParamCatalogue cat;
    cat.LoadFamily(kQmx);
    EXPECT_EQ(cat.Description(78), "");
    EXPECT_EQ(cat.Description(131), "");
    EXPECT_EQ(cat.Description(77), "---");
    EXPECT_EQ(cat.Description(79), "LOOP potere interruzione kA, 1-999");
    EXPECT_EQ(cat.Description(130), "RCD AUTO tipo  0=AC,  1=A");
    EXPECT_EQ(cat.Description(132), "KTZ44 indice relazione Ka, I2t");

    // 14, 15 and 155 are not part of 31420: they keep the 31400 texts; so do the
    // indexes above 155, texts and types alike.
    cat.LoadFamily(kLum);
    ExpectTexts(cat, {
        {13, "ISO indice RLIM 0=0.05, 1=0.10"},
        {14, "---"},
        {15, "---"},
        {16, "ADCext Ch0  B2 Ofs"},
        {155, "PQA Volt  K"},
        {156, "PQA Curr  K"},
        {204, "EARTH Offset misura R "},
    });
    ExpectTypes(cat, {{156, 1, false}, {177, 2, true}, {204, 2, true}});
    // Its own debug and test entries are written over the texts 31400 left there.
    EXPECT_NE(cat.Description(27), "LOW OHM PE, ofs");
    EXPECT_NE(cat.Description(33), "AUX, ofs");
    EXPECT_NE(cat.Description(154), "TestFunc fatto");

    // Back to 31400: 78 keeps what 31420 wrote there.
    cat.LoadFamily(kQmx);
    EXPECT_EQ(cat.Description(78), "MEM numero marcatore livello 3");
    EXPECT_EQ(cat.Description(131), "");
    EXPECT_EQ(cat.Description(14), "---");
    EXPECT_EQ(cat.Description(155), "PQA Volt  K");
    EXPECT_EQ(cat.Type(29).Size, 2);
}

TEST(ParamCatalogueTest, LumEmptyEntriesOverwritePreviousText) {
    ParamCatalogue cat;
    cat.LoadFamily(kQmx);
    cat.LoadFamily(kLum);
    for (int i : {50, 51, 56, 65, 68, 69, 73, 74, 75, 79, 80, 81, 94, 96, 99, 101, 128, 130, 142,
                  153}) {
        SCOPED_TRACE("index " + std::to_string(i));
        EXPECT_EQ(cat.Description(i), "");
    }
    // Neighbours of the empty ranges are written.
    ExpectTexts(cat, {
        {49, "ISO NE  Ofs lettura tensione ISO NE"},
        {52, "ADC uP Ofs chn VAD1 micro (B1 C)"},
        {67, "SYS Soglia allarme Iassorbita alta [mA]"},
        {70, "MEM Indice di vis. Stringa di livello 1"},
        {72, "MEM Indice di vis. Stringa di livello 3"},
        {76, "MEM numero marcatore livello 1"},
        {82, "SYS 1mo carattere nome operatore"},
        {126, "V ISO Valore resistenza ramo P  [Ohm]"},
    });
}

TEST(ParamCatalogueTest, OutOfRangeIndexesAreEmpty) {
    ParamCatalogue cat;
    for (const std::string& entry : {kQmx, kLum}) {
        SCOPED_TRACE(entry);
        cat.LoadFamily(entry);
        for (int i : {-1, 301, INT_MIN, INT_MAX}) {
            SCOPED_TRACE("index " + std::to_string(i));
            EXPECT_EQ(cat.Description(i), "");
            EXPECT_EQ(cat.Type(i).Size, 0);
            EXPECT_FALSE(cat.Type(i).Signed);
        }
        EXPECT_EQ(cat.Description(0), "SN");
        EXPECT_EQ(cat.Type(0).Size, 4);
    }
}
