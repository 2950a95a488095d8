#!/usr/bin/python3
"""Scrapes a Prometheus endpoint and parses it with the official client's parser.

Prints one line per sample: name{label="value",...} value, labels sorted. Exits 2 when the
text does not parse, 3 when the parser is not installed, 4 when the endpoint does not answer.
"""
import sys
import urllib.request

try:
    from prometheus_client.parser import text_string_to_metric_families
except ImportError:
    sys.exit(3)

try:
    text = urllib.request.urlopen(sys.argv[1], timeout=5).read().decode("utf-8")
except OSError as error:
    print(error, file=sys.stderr)
    sys.exit(4)
try:
    for family in text_string_to_metric_families(text):
        for sample in family.samples:
            labels = ",".join(f'{k}="{v}"' for k, v in sorted(sample.labels.items()))
            print(f"{sample.name}{{{labels}}} {sample.value}")
except Exception as error:  # the parser raises ValueError and others on bad text
    print(error, file=sys.stderr)
    sys.exit(2)
