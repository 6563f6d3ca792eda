#!/bin/bash
# Writes the golden data files of this folder byte by byte with printf, so
# they never depend on our own writer. Run it from anywhere; it rewrites the
# files in place. README.md says what each file holds.
set -euo pipefail
cd "$(dirname "$0")"

# The packet around the rows, as we write it: no change log, so an
# attribute-less PARAMS. No line end anywhere.
head='<?xml version="1.0" standalone="yes"?>  <DATAPACKET Version="2.0"><METADATA><FIELDS>'
fields='<FIELD attrname="No" fieldtype="i4"/><FIELD attrname="Time" fieldtype="time"/><FIELD attrname="DC/AC" fieldtype="string" WIDTH="20"/><FIELD attrname="Value" fieldtype="string" WIDTH="20"/><FIELD attrname="Unit" fieldtype="string" WIDTH="20"/><FIELD attrname="Auto" fieldtype="string" WIDTH="20"/><FIELD attrname="Nval" fieldtype="i4"/>'
open="$head$fields</FIELDS><PARAMS/></METADATA><ROWDATA>"
close='</ROWDATA></DATAPACKET>'

# packet NAME ROWS: a packet of ours holding ROWS (printf escapes allowed).
packet() {
    { printf '%s' "$open"; printf -- "$2"; printf '%s' "$close"; } >"$1"
}

# text NAME LINES: exported text; LINES carry their own \r\n.
text() {
    { printf 'No\tTime\tFunc\tValue\tUnit\tJudge\r\n'; printf -- "$2"; } >"$1"
}

packet packet-empty.xml ''
packet packet-short-frame.xml '<ROW No="1" Time="14:05:07250" DC/AC="DC" Value="00.66" Unit=" V" Auto="pass"/>'
packet packet-long-frame.xml '<ROW No="2" Time="09:30:00000" DC/AC="OHM" Value="1.234" Unit="K*" Auto="Fail" Nval="1234"/>'
packet packet-nulls.xml '<ROW No="3"/><ROW Nval="-7"/><ROW Time="00:00:01000" Value="OL"/><ROW/><ROW No="4" DC/AC="AC" Unit="mV"/>'
packet packet-escapes.xml '<ROW No="1" DC/AC="a&lt;b&gt;c&amp;d" Value="&apos;&quot;&#092;" Unit="x&#013;y&#010;z&#009;w" Auto="&lt;&gt;&amp;&apos;&quot;&#013;&#010;&#009;&#092;"/>'
packet packet-negative.xml '<ROW No="-1" Time="12:00:00000" Value="-0.001" Nval="-2147483648"/><ROW No="2147483647" Value="-40.00" Nval="-4000"/><ROW No="0" Nval="0"/>'
packet packet-time-edges.xml '<ROW No="1" Time="00:00:00000"/><ROW No="2" Time="23:59:59999"/><ROW No="3" Time="12:34:56789"/><ROW No="4" Time="00:00:00001"/>'

# Read back as our own three records without RowState.
change_rows='<ROW No="1" Time="10:00:00000" DC/AC="DC" Value="1.000" Unit=" V" Nval="1000"/><ROW No="2" Time="10:00:01000" DC/AC="DC" Value="1.001" Unit=" V" Nval="1001"/><ROW No="3" Time="10:00:02000" DC/AC="DC" Value="1.002" Unit=" V" Nval="1002"/>'
packet packet-change-log.resaved.xml "$change_rows"
# The same rows from a program that logs its changes: two appended records
# (RowState 4) and one unchanged, and the change log in PARAMS.
{
    printf '%s' "$head$fields"'</FIELDS><PARAMS CHANGE_LOG="1 0 4 2 0 4"/></METADATA><ROWDATA>'
    printf '%s' '<ROW RowState="4" No="1" Time="10:00:00000" DC/AC="DC" Value="1.000" Unit=" V" Nval="1000"/>'
    printf '%s' '<ROW RowState="4" No="2" Time="10:00:01000" DC/AC="DC" Value="1.001" Unit=" V" Nval="1001"/>'
    printf '%s' '<ROW No="3" Time="10:00:02000" DC/AC="DC" Value="1.002" Unit=" V" Nval="1002"/>'
    printf '%s' "$close"
} >packet-change-log.xml

# Two fields more than ours (one before No, one after Nval), FIELD attributes
# in other orders, ROW attributes in other orders and one ROW attribute for
# the extra fields.
{
    printf '%s' "$head"
    printf '%s' '<FIELD attrname="Comment" fieldtype="string" WIDTH="40"/>'
    printf '%s' '<FIELD fieldtype="i4" attrname="No"/><FIELD attrname="Time" fieldtype="time"/>'
    printf '%s' '<FIELD attrname="DC/AC" WIDTH="20" fieldtype="string"/><FIELD WIDTH="20" fieldtype="string" attrname="Value"/>'
    printf '%s' '<FIELD attrname="Unit" fieldtype="string" WIDTH="20"/><FIELD fieldtype="string" attrname="Auto" WIDTH="20"/>'
    printf '%s' '<FIELD attrname="Nval" fieldtype="i4"/><FIELD attrname="Flags" fieldtype="i2"/>'
    printf '%s' '</FIELDS><PARAMS/></METADATA><ROWDATA>'
    printf '%s' '<ROW Comment="first" Nval="5" Auto="pass" Unit=" V" Value="0.005" DC/AC="DC" Time="08:00:00500" No="1"/>'
    printf '%s' '<ROW Flags="3" No="2" Value="0.006" Comment="second"/>'
    printf '%s' "$close"
} >packet-extra-field.xml
packet packet-extra-field.resaved.xml '<ROW No="1" Time="08:00:00500" DC/AC="DC" Value="0.005" Unit=" V" Auto="pass" Nval="5"/><ROW No="2" Value="0.006"/>'

# The short-frame packet laid out by hand: no declaration, line ends, tabs
# and blanks between tags and inside them, another PARAMS attribute, an
# unknown element with a child, a line end after the last tag.
printf '<DATAPACKET Version="2.0">\r\n\t<METADATA>\r\n\t\t<FIELDS>\r\n' >packet-tolerant.xml
printf '%s\r\n' \
    '      <FIELD attrname="No" fieldtype="i4" />' \
    '      <FIELD attrname="Time" fieldtype="time"/>' \
    '      <FIELD attrname="DC/AC" fieldtype="string" WIDTH="20"/>' \
    '      <FIELD attrname="Value" fieldtype="string" WIDTH="20"/>' \
    '      <FIELD attrname="Unit" fieldtype="string" WIDTH="20"/>' \
    '      <FIELD attrname="Auto" fieldtype="string" WIDTH="20"/>' \
    '      <FIELD attrname="Nval" fieldtype="i4"/>' \
    '    </FIELDS>' \
    '    <PARAMS LCID="1033"/>' \
    '    <EXTRA note="ignored"><INNER/></EXTRA>' \
    '  </METADATA>' \
    '  <ROWDATA>' \
    '    <ROW No = "1" Time="14:05:07250" DC/AC="DC" Value="00.66"  Unit=" V" Auto="pass" />' \
    '  </ROWDATA >' \
    '</DATAPACKET>' >>packet-tolerant.xml

# Windows-1252 (no encoding in the declaration, as the Windows program wrote
# it): 0xB5 micro sign, 0xB0 degree sign, 0x80 euro sign, 0x81 (undefined,
# read as U+0081), and 22 micro signs that are cut to 20 characters.
packet packet-windows-1252.xml '<ROW No="1" Time="10:00:00000" DC/AC="DC" Value="12.34" Unit="\xb5A" Nval="1234"/><ROW No="2" Value="21.5" Unit="\xb0C"/><ROW No="3" Auto="\x80 5 &amp; \x81"/><ROW No="4" Value="\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5\xb5"/>'
# The table it gives, as we write it: UTF-8.
micro20='\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5'
packet packet-windows-1252.utf8.xml '<ROW No="1" Time="10:00:00000" DC/AC="DC" Value="12.34" Unit="\xc2\xb5A" Nval="1234"/><ROW No="2" Value="21.5" Unit="\xc2\xb0C"/><ROW No="3" Auto="\xe2\x82\xac 5 &amp; \xc2\x81"/><ROW No="4" Value="'"$micro20"'"/>'

# Texts longer than 20 characters: cut when stored (after the references are
# resolved), UTF-8 counted in characters.
packet packet-long-texts.xml '<ROW No="1" DC/AC="\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5\xc2\xb5" Value="123456789012345678901234" Unit="1234567890123456789&amp;&amp;" Auto="12345678901234567890"/>'

# Exported text of the packets above (FixedLocale: HH:mm:ss).
text text-empty.txt ''
text text-short-frame.txt '1\t14:05:07\tDC\t00.66\tV\tpass\r\n'
text text-long-frame.txt '2\t09:30:00\tOHM\t1.234\tK*\tFail\r\n'
text text-nulls.txt '3\tNULL\tNULL\tNULL\tNULL\tNULL\r\n\tNULL\tNULL\tNULL\tNULL\tNULL\r\n\t00:00:01\tNULL\tOL\tNULL\tNULL\r\n\tNULL\tNULL\tNULL\tNULL\tNULL\r\n4\tNULL\tAC\tNULL\tmV\tNULL\r\n'
text text-negative.txt '-1\t12:00:00\tNULL\t-0.001\tNULL\tNULL\r\n2147483647\tNULL\tNULL\t-40.00\tNULL\tNULL\r\n0\tNULL\tNULL\tNULL\tNULL\tNULL\r\n'
text text-time-edges.txt '1\t00:00:00\tNULL\tNULL\tNULL\tNULL\r\n2\t23:59:59\tNULL\tNULL\tNULL\tNULL\r\n3\t12:34:56\tNULL\tNULL\tNULL\tNULL\r\n4\t00:00:00\tNULL\tNULL\tNULL\tNULL\r\n'
text text-windows-1252.utf8.txt '1\t10:00:00\tDC\t12.34\t\xc2\xb5A\tNULL\r\n2\tNULL\tNULL\t21.5\t\xc2\xb0C\tNULL\r\n3\tNULL\tNULL\tNULL\tNULL\t\xe2\x82\xac 5 & \xc2\x81\r\n4\tNULL\tNULL\t'"$micro20"'\tNULL\tNULL\r\n'
# Trimming: blanks and control characters (bytes up to 0x20) at both ends go;
# inside a value they stay; DEL and a no-break space are not trimmed.
text text-trim.txt '7\t00:00:00\tDC\t1.5\tV\tNULL\r\n8\tNULL\tNULL\t\xc2\xa0\t\x7f\ta b\r\n'

# Text files to import.
# Windows-1252 bytes: micro, degree and euro signs.
text text-import-windows-1252.txt '1\t10:00:00\tDC\t12.34\t\xb5A\tpass\r\n2\t10:00:01\tAC\t21.5\t\xb0C\t\x80\r\n'
# Every kind of line end (LF, CR, CR LF), no line end after the last line,
# fewer than seven pieces, and an Nval.
{
    printf 'anything at all\there\t\t\t\t\t\t\t\r\n'
    printf '1\t10:00:00\tDC\t1.000\t V\tpass\t1000\n'
    printf '2\t10:00:01\tAC\r'
    printf '3\t10:00:02\r\n'
    printf '4'
} >text-import-line-ends.txt
