#!/usr/bin/env bash
# Renders the icon sources in resources/icons/svg/ to the PNG files compiled into
# the program (resources/icons.qrc), then checks that every icon the program
# loads exists with its expected pixel size.
#
# Each SVG carries its output size in its width/height and is drawn on a grid of
# the size the program shows it at, so edges fall on whole screen pixels.
# The "-reverse" toolbar icons (shown while a panel is open) are made from the
# plain ones: white glyph on the blue selection tile.
#
# Needs rsvg-convert (librsvg2-bin) and identify (imagemagick). The build only
# uses the committed PNGs; run this after changing an SVG and commit both.
#
# Usage: tools/make-icons.sh [--check]    (--check: verify only, render nothing)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
icons="$root/resources/icons"
svg="$icons/svg"

glyph_colour='color="#4d4d4d"'
reverse_colour='color="#ffffff"'
reverse_tile='<rect width="30" height="30" rx="4" fill="#42a5f5"/>'
reverse_bases=(icon-bookmark icon-highlight icon-memo icon-search icon-toc)

# Every resource the program loads: file under resources/icons, and its size.
expected=(
    "Icon/btn_close_40x40.png 40x40"
    "Icon/btn_minimize.png 40x40"
    "Icon/btn_next.png 40x40"
    "Icon/btn_prev.png 40x40"
    "Icon/btn_viewList_40x40.png 40x40"
    "Icon/btn_viewList-active_40x40.png 40x40"
    "Icon/btn_viewThumb_40x40.png 40x40"
    "Icon/btn_viewThumb-active_40x40.png 40x40"
    "Icon/btn_viewdetail_120x120.png 120x120"
    "Icon/context_icon_highlight_64x64.png 64x64"
    "Icon/context_icon_memo_64x64.png 64x64"
    "Icon/context_icon_search_64x64.png 64x64"
    "Icon/h_circle_blue_60x60.png 60x60"
    "Icon/h_circle_green_60x60.png 60x60"
    "Icon/h_circle_orange_60x60.png 60x60"
    "Icon/h_circle_yellow_60x60.png 60x60"
    "Icon/icon-bookmark.png 60x60"
    "Icon/icon-bookmark-reverse.png 60x60"
    "Icon/icon-highlight.png 60x60"
    "Icon/icon-highlight-reverse.png 60x60"
    "Icon/icon-memo.png 60x60"
    "Icon/icon-memo-reverse.png 60x60"
    "Icon/icon-search.png 60x60"
    "Icon/icon-search-reverse.png 60x60"
    "Icon/icon-toc.png 60x60"
    "Icon/icon-toc-reverse.png 60x60"
    "Icon/icon-fit-to-height.png 60x60"
    "Icon/icon-fit-to-max.png 60x60"
    "Icon/icon-fit-to-width.png 60x60"
    "Icon/icon-next.png 60x60"
    "Icon/icon-prev.png 60x60"
    "Icon/icon-open.png 60x60"
    "Icon/icon-print.png 60x60"
    "Icon/icon-view1p.png 60x60"
    "Icon/icon-view2p.png 60x60"
    "Icon/icon-zoomin.png 60x60"
    "Icon/icon-zoomout.png 60x60"
    "Icon/icon_search_28x28.png 28x28"
    "Icon/img_bookmark-ribbon-long_92x122.png 92x122"
    "Icon/img_bookmark-ribbon-short_92x122.png 92x122"
    "Icon/lumenfolio_64x64.png 64x64"
    "elc/img_noCover.png 180x246"
    "elc/loading2.gif 70x70"
    "elc/loading_text.gif 120x30"
)

render() { # render <svg file> <png file>
    rsvg-convert --format=png --output="$2" "$1"
}

render_all() {
    local folder source name
    for folder in Icon elc; do
        for source in "$svg/$folder"/*.svg; do
            name="$(basename "$source" .svg)"
            render "$source" "$icons/$folder/$name.png"
        done
    done

    local work base
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' RETURN
    for base in "${reverse_bases[@]}"; do
        grep -q "$glyph_colour" "$svg/Icon/$base.svg" && grep -q '<!--reverse-background-->' "$svg/Icon/$base.svg" || {
            echo "$base.svg lacks the glyph colour or the reverse background marker" >&2
            exit 1
        }
        sed -e "s|$glyph_colour|$reverse_colour|" -e "s|<!--reverse-background-->|$reverse_tile|" \
            "$svg/Icon/$base.svg" > "$work/$base-reverse.svg"
        render "$work/$base-reverse.svg" "$icons/Icon/$base-reverse.png"
    done
}

check_all() {
    local qrc="$root/resources/icons.qrc" failures=0 entry file size actual
    for entry in "${expected[@]}"; do
        file="${entry% *}"
        size="${entry#* }"
        if [ ! -f "$icons/$file" ]; then
            echo "missing: resources/icons/$file" >&2
            failures=$((failures + 1))
            continue
        fi
        actual="$(identify -format '%wx%h\n' "$icons/$file" | head -n 1)"
        if [ "$actual" != "$size" ]; then
            echo "wrong size: resources/icons/$file is $actual, expected $size" >&2
            failures=$((failures + 1))
        fi
        if ! grep -q ">icons/$file<" "$qrc"; then
            echo "not in icons.qrc: icons/$file" >&2
            failures=$((failures + 1))
        fi
    done
    if [ "$failures" -ne 0 ]; then
        echo "$failures problem(s) found" >&2
        exit 1
    fi
    echo "all ${#expected[@]} icon resources present with their sizes"
}

if [ "${1:-}" != "--check" ]; then
    render_all
fi
check_all
