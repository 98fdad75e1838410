#include <gtest/gtest.h>

#include "Affichage.h"
#include "Json.h"

// The terminal form and the JSON form share one rule for what may not reach a
// terminal as it stands, and each keeps its own way of writing it.
TEST(OtdrTextes, TerminalAndJsonFormsEscapeTheSameControlsEachInItsOwnWay)
{
    const struct {
        std::string texte;
        std::string visible;
        std::string json;
    } cas[] = {
        {"caf\xC3\xA9 \xF0\x9F\x98\x80 \"x\"", "caf\xC3\xA9 \xF0\x9F\x98\x80 \"x\"",
         "\"caf\xC3\xA9 \xF0\x9F\x98\x80 \\\"x\\\"\""},
        {"a\\b", "a\\\\b", "\"a\\\\b\""},
        {"\x1b[2J\x07", "\\x1b[2J\\x07", "\"\\u001b[2J\\u0007\""},
        {"\t\n\r\x7f", "\\x09\\x0a\\x0d\\x7f", "\"\\t\\n\\r\\u007f\""},
        {"\xC2\x9B" "31m", "\\u009b31m", "\"\\u009b31m\""},                       // C1 CSI
        {"\xE2\x80\xAA\xE2\x80\xAE\xE2\x81\xA6\xE2\x81\xA9", "\\u202a\\u202e\\u2066\\u2069",
         "\"\\u202a\\u202e\\u2066\\u2069\""},                                       // bidi
        {"\xE2\x80\xA9\xE2\x81\xAA", "\xE2\x80\xA9\xE2\x81\xAA", "\"\xE2\x80\xA9\xE2\x81\xAA\""},
        {"\xFF" "a", "\\xffa", "\"\xEF\xBF\xBD" "a\""},
        {"\xE2\x80", "\\xe2\\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                // cut
        {"\xC0\x9B", "\\xc0\\x9b", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                // overlong CSI
    };
    for (const auto& c : cas) {
        EXPECT_EQ(Visible(c.texte), c.visible) << c.texte;
        EXPECT_EQ(ChaineJson(c.texte), c.json) << c.texte;
    }
}
