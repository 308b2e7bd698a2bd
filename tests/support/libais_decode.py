"""Decodes AIVDM/AIVDO sentences from standard input with libais and prints one JSON
object per message. Lines with a bad checksum are left out, as libais leaves them."""
import json
import sys
import warnings

warnings.simplefilter("ignore")
import ais.stream  # noqa: E402

for message in ais.stream.decode(sys.stdin, allow_unknown=True, allow_missing_timestamps=True,
                                 errorcb=lambda *args, **kw: None):
    print(json.dumps(message, default=str))
