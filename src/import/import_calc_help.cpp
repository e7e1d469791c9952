#include "import_calc_help.h"

QString ImportCalcHelpHtml() {
    return QStringLiteral(R"(<!DOCTYPE html>
<html>
<head>
<meta charset="utf-8">
<title>Import - value commands</title>
<style>
body { font-family: sans-serif; margin: 2em; max-width: 60em; }
code, pre { background: #f2f2f2; }
table { border-collapse: collapse; }
td, th { border: 1px solid #bbb; padding: 4px 8px; vertical-align: top; text-align: left; }
</style>
</head>
<body>
<h1>Value commands of the import</h1>
<p>On the "Calculation" tab each line changes the imported value of one target field before it is
written:</p>
<pre>FieldName = Command(Parameter1, Parameter2, ...)</pre>
<p>The field is a field of the destination table (letter case does not matter), the command name is
written right before "(" without a blank. A field may have several lines: they are applied in the order
of the lines, each to the result of the one before. Lines with an unknown field or command are ignored
during the import; the link "Check" lists them with their row numbers.</p>
<p>Positions count from 1. A number parameter that is missing or is not a whole number stands for the
current length of the value. Text searches ignore letter case. A value that is still longer than its
text field after the commands is not cut: the record is reported as an error.</p>
<table>
<tr><th>Command</th><th>What it does</th><th>Example</th></tr>
<tr><td><code>Trim()</code></td><td>Removes blanks and control characters at the start and the end.
The brackets may be left out.</td><td><code>Name=Trim()</code>: "&nbsp; Smith&nbsp; " gives "Smith"</td></tr>
<tr><td><code>Clean(kind)</code></td><td>Keeps blanks, digits, letters a to z, the national letters and
the special characters <code>.,;:+-*/()?!#&amp;@{}\%=&lt;&gt;$</code>, and removes every other character.
<code>Clean(Special)</code> removes the special characters too, <code>Clean(Local)</code> the national
letters, <code>Clean(All)</code> both (the kind ignores letter case).</td><td><code>Name=Clean(All)</code>: "A_b-c 1" gives "Abc 1"</td></tr>
<tr><td><code>RemoveChar(list)</code></td><td>Removes the listed characters (letters in both cases).
The list is separated by ","; <code>#</code> followed by a number stands for the character with that
code (a comma is <code>#44</code>, a tab <code>#9</code>). A blank in the list is a character to
remove.</td><td><code>Phone=RemoveChar(/,-,#32)</code>: "123-45/6 7" gives "1234567"</td></tr>
<tr><td><code>Left(n)</code></td><td>The first n characters.</td><td><code>Code=Left(3)</code>:
"ABCDE" gives "ABC"</td></tr>
<tr><td><code>Right(n)</code></td><td>The last n characters.</td><td><code>Code=Right(2)</code>:
"ABCDE" gives "DE"</td></tr>
<tr><td><code>Middle(start, count)</code></td><td>count characters from position start; without count
everything from start on.</td><td><code>Code=Middle(2, 3)</code>: "ABCDE" gives "BCD"</td></tr>
<tr><td><code>Part(separator, n)</code></td><td>The n-th piece of the value cut at the separator
(0 and 1 give the first piece); empty when there are fewer pieces.</td>
<td><code>City=Part(;,2)</code>: "12;Prague;CZ" gives "Prague"</td></tr>
<tr><td><code>FromTo(start, end)</code></td><td>The text between the first start text and the first end
text after it; empty when either is not found.</td><td><code>Domain=FromTo(@,.)</code>:
"joe@example.com" gives "example"</td></tr>
<tr><td><code>Replace(old, new)</code></td><td>Replaces every occurrence of the old text by the new
text; an empty new text removes it.</td><td><code>Note=Replace(St.,Street)</code>: "Long St." gives
"Long Street"</td></tr>
</table>
<h2>Example</h2>
<pre>Name=Trim()
Name=Left(20)
Phone=RemoveChar(#32,-,/)
Email=Replace( ,)</pre>
</body>
</html>
)");
}
