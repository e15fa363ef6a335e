// Kestrel page agent, player part: functions added with window.__kestrel.define.
