#include "resources/painter/SkinPainting.h"

#include "resources/painter/SkinArt.h"

std::vector<PaintedImage> paintSkin(float scale) {
    using namespace art;
    const paint::ScaleScope scope(scale);
    std::vector<PaintedImage> skin;
    auto add = [&skin](int32_t id, Image image) { skin.push_back({id, std::move(image)}); };

    add(108, logoStrip(200, 20));
    add(110, display(40, 16));
    add(111, display(16, 16));
    add(112, display(32, 16));
    add(113, display(192, 16));
    add(114, transportPage(256, 84, 212));
    add(115, handle(3, 16, cyan, 8));
    add(116, button(plusGlyph, cyan));
    add(117, button(rewindGlyph, cyan));
    add(118, button(resetGlyph, cyan));
    add(119, button(playGlyph, green));
    add(120, button(blankGlyph, cyan));
    add(121, button(nextGlyph, cyan));

    Image equaliser(256, 84, panelBottom);
    panel(equaliser, {0, 0, 256, 84});
    equaliserSection(equaliser, 6, true);
    add(122, std::move(equaliser));
    add(123, handle(32, 6, cyan));
    add(124, handle(6, 32, cyan, 0, crossoverReach));
    add(125, button(pageGlyph, cyan));
    add(126, button(cutGlyph, red));
    const char* loopLabels[9] = {"1/4", "1/2", "1", "2", "4", "8", "16", "32", "64"};
    for (int32_t i = 0; i < 9; ++i) add(127 + i, textButton(loopLabels[i], amber));

    Image list(256, 84, panelBottom);
    panel(list, {0, 0, 256, 84});
    listSection(list, 4, 10, 74, 224);
    add(136, std::move(list));
    add(137, listBar(228, false));
    add(138, button(saveGlyph, cyan));
    add(139, button(deleteGlyph, red));
    add(140, listBar(228, true));
    add(141, listRow(220, false));
    add(142, listRow(220, true));
    add(143, handle(8, 12, cyan));

    Image jog(256, 84, panelBottom);
    panel(jog, {0, 0, 256, 84});
    jogSection(jog, 6, true);
    pitchTrack(jog, {82, 36, 250, 52});
    add(144, std::move(jog));
    add(145, jogWheel());
    const char* jumpLabels[8] = {"1/2", "1", "2", "3", "4", "6", "8", "16"};
    for (int32_t i = 0; i < 8; ++i) add(146 + i, textButton(jumpLabels[i], cyan));
    add(154, about(256, 84));

    Image full = transportPage(256, 350, 232);
    panel(full, {0, 84, 256, 162});
    equaliserSection(full, 86, false);
    panel(full, {0, 162, 256, 238});
    jogSection(full, 164, false);
    panel(full, {0, 238, 256, 350});
    listSection(full, 238, 244, 340, 244);
    add(155, std::move(full));
    add(156, about(256, 350));
    add(157, listRow(240, false));
    add(158, listRow(240, true));
    add(159, listBar(248, false));
    add(160, listBar(248, true));
    add(169, autoRewindSwitch());
    return skin;
}
