#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AppRig.h"

namespace {

const char* kFlashAndClearAll = "31400-flashopen\r\n31400-EeWipeFull\r\n";

// The Down mem tab's option boxes and page range in one line: "ticks <EEprom><Flash>, enabled
// <EEprom><Flash><from><to>, shown <EEprom><Flash><EE #MIS><range>, pages <from>-<to>".
std::string Options(const AppRig& rig)
{
    const auto bit = [](bool on) { return on ? '1' : '0'; };
    const auto& ee = rig.Control<QCheckBox>("chkEE2Down");
    const auto& flash = rig.Control<QCheckBox>("chkFlashDown");
    const auto& from = rig.Control<QLineEdit>("txtDownDaPag");
    const auto& to = rig.Control<QLineEdit>("txtDownaPag");
    // The page range is its two fields and their two labels, shown and hidden together.
    const bool range = Shown(from);
    const bool together = Shown(to) == range && Shown(rig.Control<QLabel>("lblDownDa")) == range &&
                          Shown(rig.Control<QLabel>("lblDownA")) == range;
    return std::string("ticks ") + bit(ee.isChecked()) + bit(flash.isChecked()) + ", enabled " + bit(ee.isEnabled()) +
           bit(flash.isEnabled()) + bit(from.isEnabled()) + bit(to.isEnabled()) + ", shown " + bit(Shown(ee)) +
           bit(Shown(flash)) + bit(Shown(rig.Control<QCheckBox>("chkDownE2WriteNumRec"))) + (together ? bit(range) : '?') +
           ", pages " + rig.Text("txtDownDaPag") + "-" + rig.Text("txtDownaPag");
}

}  // namespace

// Each option rule after a sequence of steps: "click X" is the technician's click, "tick X" and
// "untick X" a change made by the program (which runs the rule as a click does), "hide X" hides a
// control, "X=text" fills a page field, "flash rule" runs the Flash rule once as start-up does.
TEST(DownMemOptions, RulesTieTheBoxesAndThePageRangeTogether)
{
    const struct {
        const char* config;
        std::vector<std::string> steps;
        const char* options;
    } cases[] = {
        {kFlashAndClearAll, {}, "ticks 11, enabled 1111, shown 1111, pages 0-2047"},
        // Flash shows and hides the page range, whoever changes its tick.
        {kFlashAndClearAll, {"click chkFlashDown"}, "ticks 10, enabled 1111, shown 1110, pages 0-2047"},
        {kFlashAndClearAll, {"click chkFlashDown", "tick chkFlashDown"}, "ticks 11, enabled 1111, shown 1111, pages 0-2047"},
        {kFlashAndClearAll, {"click chkFlashDown", "tick chkFlashDown", "untick chkFlashDown"},
         "ticks 10, enabled 1111, shown 1110, pages 0-2047"},
        // ... but changes nothing while the Upload button is hidden.
        {kFlashAndClearAll, {"hide cmdDownUpData", "click chkFlashDown", "click chkFlashDown"},
         "ticks 11, enabled 1111, shown 1110, pages 0-2047"},
        {"", {"flash rule"}, "ticks 11, enabled 1111, shown 0000, pages 0-2047"},
        // "Flash #MIS only" ticks and locks both memories and the range (which its Flash tick shows);
        // unticked, everything is open again on the whole flash.
        {kFlashAndClearAll, {"click chkFlashDown", "click chkEE2Down", "txtDownDaPag=12", "txtDownaPag=40", "click chkDownALLdata"},
         "ticks 11, enabled 0000, shown 1111, pages 12-40"},
        {kFlashAndClearAll, {"txtDownDaPag=12", "txtDownaPag=40", "click chkDownALLdata", "click chkDownALLdata"},
         "ticks 11, enabled 1111, shown 1111, pages 0-2047"},
        // Clear-all leaves only itself, and gives everything back when unticked; hidden, it does nothing.
        {kFlashAndClearAll, {"click chkDownEE2clearAll"}, "ticks 10, enabled 1111, shown 0000, pages 0-2047"},
        {kFlashAndClearAll, {"click chkDownEE2clearAll", "click chkDownEE2clearAll"}, "ticks 11, enabled 1111, shown 1111, pages 0-2047"},
        {"31400-flashopen\r\n", {"tick chkDownEE2clearAll"}, "ticks 11, enabled 1111, shown 1111, pages 0-2047"},
    };
    for (const auto& c : cases) {
        std::string story = c.config;
        for (const std::string& step : c.steps)
            story += " / " + step;
        SCOPED_TRACE(story);
        AppRig rig;
        rig.StartOn(c.config, kDownMemTab);
        for (const std::string& step : c.steps) {
            const auto blank = step.find(' ');
            const std::string verb = step.substr(0, blank);
            const std::string name = blank == std::string::npos ? "" : step.substr(blank + 1);
            if (step == "flash rule")
                rig.form->DownMem->chkFlashDown_Click();
            else if (const auto equals = step.find('='); equals != std::string::npos)
                rig.Control<QLineEdit>(step.substr(0, equals).c_str()).setText(QString::fromStdString(step.substr(equals + 1)));
            else if (verb == "click")
                rig.Control<QCheckBox>(name.c_str()).click();
            else if (verb == "tick" || verb == "untick")
                rig.Control<QCheckBox>(name.c_str()).setChecked(verb == "tick");
            else if (verb == "hide")
                rig.Control<QWidget>(name.c_str()).hide();
        }
        EXPECT_EQ(Options(rig), c.options);
    }
}
