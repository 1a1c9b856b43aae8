# SPDX-License-Identifier: MIT
# bash completion for glyphor(1): options, their fixed values, font names,
# settings keys for --set, and .gly files.
_glyphor() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=""
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # "--name=value" arrives as "--name" "=" "value" (COMP_WORDBREAKS holds "=").
  if [[ $cur == "=" ]]; then
    cur=""
  elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  local IFS=$'\n'
  COMPREPLY=()
  case $prev in
    -o | --output | --text-file)
      compopt -o filenames 2>/dev/null
      COMPREPLY=($(compgen -f -- "$cur"))
      return
      ;;
    -f | --format)
      COMPREPLY=($(compgen -W $'svg\nemf\nwmf\ndxf' -- "$cur"))
      return
      ;;
    --join)
      COMPREPLY=($(compgen -W $'miter\nround\nbevel' -- "$cur"))
      return
      ;;
    --style)
      # A comma-separated list: complete its last item.
      local done=""
      [[ $cur == *,* ]] && done=${cur%,*},
      COMPREPLY=($(compgen -P "$done" -W $'bold\nitalic\nunderline\nstrikeout' -- "${cur##*,}"))
      return
      ;;
    --font)
      local family
      for family in $(compgen -W "$(fc-list --format='%{family[0]}\n' 2>/dev/null | sort -u)" -- "$cur"); do
        COMPREPLY+=("$(printf '%q' "$family")")
      done
      return
      ;;
    --set)
      compopt -o nospace 2>/dev/null
      COMPREPLY=($(compgen -W "$(printf '%s=\n' Font.FontName Font.FontSize Font.FontStyle Font.FontColor \
        Font.FontCharset Font.FontText Font.FontTransparent Font.FontStrokeColor Font.FontStrokeWidth \
        SVG.Resolution SVG.View SVG.SVGDir EMF.EMFDir Font.FontFukuromoji Font.FontLineJoin \
        Font.FontMiterLimit SVG.CutReady)" -- "$cur"))
      return
      ;;
    -t | --text | --size | --fill | --stroke | --stroke-width | --miter-limit | --resolution)
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$(printf '%s\n' --output --format --text --text-file --font --size --style --fill \
      --stroke --stroke-width --join --miter-limit --resolution --two-layer --transparent --cut-ready --set --view \
      --quiet --verbose --help --version)" -- "$cur"))
    return
  fi
  compopt -o filenames 2>/dev/null
  COMPREPLY=($(compgen -f -X '!*.[gG][lL][yY]' -- "$cur") $(compgen -d -- "$cur"))
}
complete -F _glyphor glyphor
