#include "resources/painter/SkinPainting.h"

#include <algorithm>
#include <functional>

#include "resources/painter/SkinArt.h"

std::vector<PaintedImage> paintSkin(float scale, const std::vector<int32_t>& only) {
    using namespace art;
    const paint::ScaleScope scope(scale);
    std::vector<PaintedImage> skin;
    // Each image is painted only when wanted: an editor repaints its own
    // build's images alone.
    auto add = [&skin, &only](int32_t id, const std::function<Image()>& paint) {
        if (only.empty() || std::find(only.begin(), only.end(), id) != only.end()) skin.push_back({id, paint()});
    };

    add(108, [&] { return logoStrip(200, 20); });
    add(110, [&] { return display(40, 16); });
    add(111, [&] { return display(16, 16); });
    add(112, [&] { return display(32, 16); });
    add(113, [&] { return display(192, 16); });
    add(114, [&] { return transportPage(256, 84, 212); });
    add(115, [&] { return handle(3, 16, cyan, 8); });
    add(116, [&] { return button(plusGlyph, cyan); });
    add(117, [&] { return button(rewindGlyph, cyan); });
    add(118, [&] { return button(resetGlyph, cyan); });
    add(119, [&] { return button(playGlyph, green); });
    add(120, [&] { return button(blankGlyph, cyan); });
    add(121, [&] { return button(nextGlyph, cyan); });

    add(122, [] {
        Image equaliser(256, 84, panelBottom);
        panel(equaliser, {0, 0, 256, 84});
        equaliserSection(equaliser, 6, true);
        return equaliser;
    });
    add(123, [&] { return handle(32, 6, cyan); });
    add(124, [&] { return handle(6, 32, cyan, 0, crossoverReach); });
    add(125, [&] { return button(pageGlyph, cyan); });
    add(126, [&] { return button(cutGlyph, red); });
    const char* loopLabels[9] = {"1/4", "1/2", "1", "2", "4", "8", "16", "32", "64"};
    for (int32_t i = 0; i < 9; ++i) add(127 + i, [&] { return textButton(loopLabels[i], amber); });

    add(136, [] {
        Image list(256, 84, panelBottom);
        panel(list, {0, 0, 256, 84});
        listSection(list, 4, 10, 74, 224);
        return list;
    });
    add(137, [&] { return listBar(228, false); });
    add(138, [&] { return button(saveGlyph, cyan); });
    add(139, [&] { return button(deleteGlyph, red); });
    add(140, [&] { return listBar(228, true); });
    add(141, [&] { return listRow(220, false); });
    add(142, [&] { return listRow(220, true); });
    add(143, [&] { return handle(8, 12, cyan); });

    add(144, [] {
        Image jog(256, 84, panelBottom);
        panel(jog, {0, 0, 256, 84});
        jogSection(jog, 6, true);
        pitchTrack(jog, {82, 36, 250, 52});
        return jog;
    });
    add(145, [&] { return jogWheel(); });
    const char* jumpLabels[8] = {"1/2", "1", "2", "3", "4", "6", "8", "16"};
    for (int32_t i = 0; i < 8; ++i) add(146 + i, [&] { return textButton(jumpLabels[i], cyan); });
    add(154, [&] { return about(256, 84); });

    add(155, [] {
        Image full = transportPage(256, 350, 232);
        panel(full, {0, 84, 256, 162});
        equaliserSection(full, 86, false);
        panel(full, {0, 162, 256, 238});
        jogSection(full, 164, false);
        panel(full, {0, 238, 256, 350});
        listSection(full, 238, 244, 340, 244);
        return full;
    });
    add(156, [&] { return about(256, 350); });
    add(157, [&] { return listRow(240, false); });
    add(158, [&] { return listRow(240, true); });
    add(159, [&] { return listBar(248, false); });
    add(160, [&] { return listBar(248, true); });
    add(169, [&] { return autoRewindSwitch(); });
    return skin;
}
