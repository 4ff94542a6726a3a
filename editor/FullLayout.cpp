// The full build's window: 256 × 350 pixels showing everything at once:
// the transport strip, the equaliser, the jog with jumps and loops, and a
// track list of six rows.
#include "editor/EditorControls.h"
#include "editor/SkinBitmaps.h"

void EditorControls::buildFull(const SkinBitmaps& skin, ControlListener* listener) {
    pageCount = 1;
    Bitmap* window = skin.get(155);
    pageBackgrounds[0] = window;

    crossovers[0] =
        put(horizontalSlider({42, 86, 90, 118}, listener, 16, skin.get(124), window, {42, 86}), Role::Crossover1);
    crossovers[1] =
        put(horizontalSlider({130, 86, 178, 118}, listener, 17, skin.get(124), window, {130, 86}), Role::Crossover2);
    const Rect gainRects[3] = {{6, 86, 38, 158}, {94, 86, 126, 158}, {182, 86, 214, 158}};
    for (int32_t band = 0; band < 3; ++band)
        gains[band] =
            put(verticalSlider(gainRects[band], listener, 18 + band, skin.get(123), window, true), Role::Gain, band);
    volume = put(verticalSlider({218, 86, 250, 140}, listener, 21, skin.get(123), window, true), Role::Volume);
    const Rect cutRects[3] = {{42, 144, 58, 160}, {74, 144, 90, 160}, {162, 144, 178, 160}};
    for (int32_t band = 0; band < 3; ++band)
        cuts[band] = put(new ToggleButton(cutRects[band], listener, 13 + band, skin.get(126)), Role::Cut, band);
    put(new MomentaryButton({222, 144, 248, 160}, listener, 12, skin.get(118), 16, {0, 0}), Role::EqReset);

    auto* jogWheel = new JogKnob({6, 164, 78, 236}, listener, 34, skin.get(145), 72, 72, {6, 164});
    jogWheel->setStartAngle(4.71225);
    jogWheel->setRangeAngle(-6.283);
    jogWheel->setTransparency(true);
    put(jogWheel, Role::Jog);
    for (int32_t i = 0; i < 8; ++i) {
        put(new PressButton({82 + 20 * i, 164, 98 + 20 * i, 180}, listener, 36 + i, skin.get(146 + i), 16, {0, 0}),
            Role::JumpBack, i);
        put(new PressButton({82 + 20 * i, 184, 98 + 20 * i, 200}, listener, 44 + i, skin.get(146 + i), 16, {0, 0}),
            Role::JumpForward, i);
    }
    const int32_t loopLefts[9] = {82, 102, 122, 142, 162, 182, 142, 162, 182};
    const int32_t loopTops[9] = {210, 210, 210, 202, 202, 202, 220, 220, 220};
    for (int32_t i = 0; i < loopCount; ++i)
        loops[i] = put(new ToggleButton({loopLefts[i], loopTops[i], loopLefts[i] + 16, loopTops[i] + 16}, listener,
                                        52 + i, skin.get(127 + i)),
                       Role::Loop, i);

    put(new MomentaryButton({216, 218, 232, 234}, listener, 24, skin.get(138), 16, {0, 0}), Role::SaveList);
    put(new MomentaryButton({236, 218, 252, 234}, listener, 25, skin.get(139), 16, {0, 0}), Role::DeleteSelected);
    put(new PressButton({4, 238, 252, 244}, listener, 22, skin.get(160), 6, {0, 0}), Role::ListUp);
    put(new PressButton({4, 340, 252, 346}, listener, 23, skin.get(159), 6, {0, 0}), Role::ListDown);
    rowCount = 7;
    listTop = 244;
    listBottom = 340;
    rowRight = 244;
    rowBitmap = skin.get(157);
    selectedRowBitmap = skin.get(158);
    for (int32_t k = 0; k < rowCount; ++k) {
        const Rect rect{4, 244 + 16 * k, 244, 260 + 16 * k};
        rows[k] = put(new PressButton(rect, listener, 26 + k, nullptr, 0, {0, 0}), Role::Row, k);
        rowLabels[k] = label(rect, rowBitmap, 0, "", listener);
        rowLabels[k]->setAlignment(Canvas::AlignLeft);
    }
    listScroll = put(verticalSlider({244, 244, 252, 340}, listener, 33, skin.get(143), window, false), Role::ListScroll);

    for (int32_t tag = 1; tag < tagCount; ++tag)
        if (byTag[tag]) pages[0].push_back(byTag[tag]);
    for (int32_t k = 0; k < rowCount; ++k) pages[0].push_back(rowLabels[k]);
    pages[0].insert(pages[0].end(), labels.begin(), labels.end());
    pages[0].push_back(about);
}
