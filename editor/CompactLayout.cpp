// The compact build's window: 256 × 84 pixels in four pages (transport,
// equaliser, track list, jog with jumps and loops) that the page button
// cycles through.
#include "editor/EditorControls.h"
#include "editor/SkinBitmaps.h"

void EditorControls::buildCompact(const SkinBitmaps& skin, ControlListener* listener) {
    pageCount = 4;
    pageBackgrounds[0] = skin.get(114);
    pageBackgrounds[1] = skin.get(122);
    pageBackgrounds[2] = skin.get(136);
    pageBackgrounds[3] = skin.get(144);
    Control* nextPage = put(new MomentaryButton({236, 64, 252, 80}, listener, 7, skin.get(125), 16, {0, 0}),
                            Role::NextPage);

    // Page 1: equaliser.
    Bitmap* eqBackground = skin.get(122);
    crossovers[0] =
        put(horizontalSlider({42, 6, 90, 38}, listener, 16, skin.get(124), eqBackground, {42, 6}), Role::Crossover1);
    crossovers[1] = put(horizontalSlider({130, 6, 178, 38}, listener, 17, skin.get(124), eqBackground, {130, 6}),
                        Role::Crossover2);
    const Rect gainRects[3] = {{6, 6, 38, 78}, {94, 6, 126, 78}, {182, 6, 214, 78}};
    for (int32_t band = 0; band < 3; ++band)
        gains[band] =
            put(verticalSlider(gainRects[band], listener, 18 + band, skin.get(123), eqBackground, true), Role::Gain, band);
    volume = put(verticalSlider({218, 6, 250, 60}, listener, 21, skin.get(123), eqBackground, true), Role::Volume);
    const Rect cutRects[3] = {{42, 64, 58, 80}, {74, 64, 90, 80}, {162, 64, 178, 80}};
    for (int32_t band = 0; band < 3; ++band)
        cuts[band] = put(new ToggleButton(cutRects[band], listener, 13 + band, skin.get(126)), Role::Cut, band);
    put(new MomentaryButton({218, 64, 244, 80}, listener, 12, skin.get(118), 16, {0, 0}), Role::EqReset);

    // Page 2: track list.
    put(new PressButton({4, 4, 232, 10}, listener, 22, skin.get(140), 6, {0, 0}), Role::ListUp);
    put(new PressButton({4, 74, 232, 80}, listener, 23, skin.get(137), 6, {0, 0}), Role::ListDown);
    put(new MomentaryButton({236, 24, 252, 40}, listener, 24, skin.get(138), 16, {0, 0}), Role::SaveList);
    put(new MomentaryButton({236, 44, 252, 60}, listener, 25, skin.get(139), 16, {0, 0}), Role::DeleteSelected);
    rowCount = 5;
    listTop = 10;
    listBottom = 74;
    rowRight = 224;
    rowBitmap = skin.get(141);
    selectedRowBitmap = skin.get(142);
    for (int32_t k = 0; k < rowCount; ++k) {
        const Rect rect{4, 10 + 16 * k, 224, 26 + 16 * k};
        rows[k] = put(new PressButton(rect, listener, 26 + k, nullptr, 0, {0, 0}), Role::Row, k);
        rowLabels[k] = label(rect, rowBitmap, 0, "", listener);
        rowLabels[k]->setAlignment(Canvas::AlignLeft);
    }
    listScroll = put(verticalSlider({224, 10, 232, 74}, listener, 31, skin.get(143), skin.get(136), false),
                     Role::ListScroll);
    Control* secondAdd = put(new PressButton({236, 4, 252, 20}, listener, 1, skin.get(116), 16, {0, 0}), Role::AddFiles);

    // Page 3: jog, beat jumps and loops.
    auto* jogWheel = new JogKnob({6, 6, 78, 78}, listener, 32, skin.get(145), 72, 72, {6, 6});
    jogWheel->setStartAngle(4.71225);
    jogWheel->setRangeAngle(-6.283);
    jogWheel->setTransparency(true);
    put(jogWheel, Role::Jog);
    for (int32_t i = 0; i < 8; ++i) {
        put(new PressButton({82 + 20 * i, 4, 98 + 20 * i, 20}, listener, 34 + i, skin.get(146 + i), 16, {0, 0}),
            Role::JumpBack, i);
        put(new PressButton({82 + 20 * i, 20, 98 + 20 * i, 36}, listener, 42 + i, skin.get(146 + i), 16, {0, 0}),
            Role::JumpForward, i);
    }
    // The background is taken from under the slider itself, so that moving
    // the handle leaves the page as painted.
    secondPitch =
        put(horizontalSlider({82, 36, 250, 52}, listener, 33, skin.get(115), skin.get(144), {82, 36}), Role::SecondPitch);
    const int32_t loopLefts[9] = {82, 102, 122, 142, 162, 182, 142, 162, 182};
    const int32_t loopTops[9] = {56, 56, 56, 50, 50, 50, 66, 66, 66};
    for (int32_t i = 0; i < loopCount; ++i)
        loops[i] = put(new ToggleButton({loopLefts[i], loopTops[i], loopLefts[i] + 16, loopTops[i] + 16}, listener,
                                        50 + i, skin.get(127 + i)),
                       Role::Loop, i);

    // The pages' views in the order they are added to the window.
    for (int32_t tag = 1; tag <= 11; ++tag) pages[0].push_back(byTag[tag]);
    pages[0].insert(pages[0].end(), labels.begin(), labels.end());
    pages[0].push_back(about);
    for (int32_t tag = 12; tag <= 21; ++tag) pages[1].push_back(byTag[tag]);
    pages[1].push_back(nextPage);
    for (int32_t tag = 22; tag <= 31; ++tag) pages[2].push_back(byTag[tag]);
    for (int32_t k = 0; k < rowCount; ++k) pages[2].push_back(rowLabels[k]);
    pages[2].push_back(secondAdd);
    pages[2].push_back(nextPage);
    for (int32_t tag = 32; tag <= 58; ++tag) pages[3].push_back(byTag[tag]);
    pages[3].push_back(nextPage);
    pages[3].push_back(pitchReset);
}
